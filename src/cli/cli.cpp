#include "cli/cli.h"

#include "cli/convert.h"
#include "cli/etademo.h"
#include "cli/exitahead.h"
#include "cli/guimodule.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "core/interrupts.h"
#include "core/shell.h"
#include "engines/heavyengines.h"

#include <QCoreApplication>
#include <QDir>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace CLI {

namespace {

// The application object a command needs: widgets for the renderings; painting and fonts for
// the icon; for conversions, whatever their sources need (convertNeeds); the others run
// programs and at most an event loop.
enum class Needs { core, gui, widgets, convert };

struct Command
{
    QStringView name;
    QStringView arguments; // as the usage line writes them
    bool listed;           // shown in the usage line
    qsizetype minimum;     // the fewest arguments after the name; fewer give the usage line
    Needs needs;
    int (*handler)(const QStringList& rest); // null: served by the GUI module
};

int targets(const QStringList& rest)
{
    const QStringList files = paths(rest);
    for (WheelMode mode : allWheelModes()) {
        QStringList titles;
        for (const WheelItem& item : Catalog::items(mode, files))
            titles << item.title();
        print(rawValue(mode) + QStringLiteral(": ") + titles.join(QStringLiteral(" · ")));
    }
    return 0;
}

int count(const QStringList&)
{
    print(QString::number(Catalog::conversionPathCount()));
    return 0;
}

int etaDemoCommand(const QStringList&)
{
    return etaDemo();
}

const Command commands[] = {
    {u"--targets", u"FILE…", true, 0, Needs::core, targets},
    {u"--convert", u"FORMAT FILE…", true, 2, Needs::convert, convert},
    {u"--tool", u"TOOL FILE…", true, 2, Needs::widgets, nullptr},
    {u"--render-wheel", u"MODE OUT.png FILE… [--highlight N]", true, 3, Needs::widgets, nullptr},
    {u"--render-tool", u"TOOL OUT.png FILE…", true, 3, Needs::widgets, nullptr},
    {u"--count", u"", false, 0, Needs::core, count},
    {u"--selftest", u"DIR", false, 1, Needs::gui, nullptr},
    {u"--render-settings", u"OUT.png", false, 1, Needs::widgets, nullptr},
    {u"--render-hud", u"OUT.png", false, 1, Needs::widgets, nullptr},
    {u"--eta-demo", u"", false, 0, Needs::core, etaDemoCommand},
    {u"--icon", u"OUT.png SIZE", false, 2, Needs::gui, nullptr},
};

// Exact and case-sensitive.
const Command* find(const QString& option)
{
    for (const Command& command : commands) {
        if (option == command.name) return &command;
    }
    return nullptr;
}

// Media, archives, subtitles and a PDF's text are converted without painting; every other source
// may lay out text, draw pages or decode images through Qt. Unknown files fail without either.
Needs convertNeeds(int argc, char** argv)
{
    const QString target =
        argc > 2 ? formatKey(QString::fromLocal8Bit(argv[2])).value_or(QString()) : QString();
    for (int i = 3; i < argc; ++i) {
        const auto key = Catalog::format(path(QString::fromLocal8Bit(argv[i])));
        const auto category = key ? Catalog::category(*key) : std::nullopt;
        if (category && Converter::isHeavy(*category, target)) return Needs::gui;
    }
    return Needs::core;
}

// Throws ConvertError when the module that makes the application object cannot be loaded.
std::unique_ptr<QCoreApplication> makeApplication(Needs needs, int& argc, char** argv)
{
    if ((needs == Needs::convert ? convertNeeds(argc, argv) : needs) == Needs::core)
        return std::make_unique<QCoreApplication>(argc, argv);
    // Renderings never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (needs == Needs::convert)
        return std::unique_ptr<QCoreApplication>(
            Modules::entries<HeavyEngines>().makeGuiApplication(argc, argv));
    return std::unique_ptr<QCoreApplication>(
        Modules::entries<GuiModule>().makeApplication(needs == Needs::widgets, argc, argv));
}

// Ctrl-C or a kill ends the children a command is waiting for, then the command itself; a
// command that cleans up after itself installs Interrupts over this.
void endChildrenAndExit(int signal)
{
    Shell::terminateAll();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Where the command's own standard-error lines go; see silenceStandardError().
int ownErrorFd = STDERR_FILENO;

void writeAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += n;
    }
}

// Libraries write their warnings straight to descriptor 2 (libtiff's "TIFFReadDirectory: …",
// fontconfig, GLib), and a child not started through Shell would inherit it: while a command
// runs, descriptor 2 leads to /dev/null and the command's own lines go to a copy of the real one.
void silenceStandardError()
{
    const int copy = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    // Started without a descriptor 2: /dev/null has just taken its place, and nothing is lost.
    if (null == STDERR_FILENO) {
        ::fcntl(null, F_SETFD, 0);
        return;
    }
    if (copy >= 0 && null >= 0 && ::dup2(null, STDERR_FILENO) == STDERR_FILENO) {
        ownErrorFd = copy;
    } else if (copy >= 0) {
        ::close(copy);
    }
    if (null >= 0) ::close(null);
}

// Commands speak only through standard output; Qt's own chatter (offscreen platform notes,
// missing runtime folder, decoders' warnings) would garble scripted use.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        writeAll(ownErrorFd, message.toLocal8Bit() + '\n');
        std::abort();
    }
}

bool isBidiOrSeparator(char16_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

int usage()
{
    print(usageLine());
    return 2;
}

int printing(const std::function<QString()>& command)
{
    try {
        print(command());
        return 0;
    } catch (const std::exception& e) {
        print(QStringLiteral("error: ") + errorDescription(e));
        return 1;
    }
}

bool isCommandLine(int argc, char** argv)
{
    if (argc < 2) return false;
    const QByteArray first(argv[1]);
    return first.startsWith("--") && first != "--app";
}

QString usageLine()
{
    QStringList shown;
    for (const Command& command : commands) {
        if (command.listed)
            shown << command.name.toString() + QLatin1Char(' ') + command.arguments.toString();
    }
    return QStringLiteral("usage: Tolvane ") + shown.join(QStringLiteral(" | "));
}

QString printable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && !isBidiOrSeparator(c)) {
            out += ch;
        } else if (c == u'\n') {
            out += QLatin1String("\\n");
        } else if (c == u'\t') {
            out += QLatin1String("\\t");
        } else if (c == u'\r') {
            out += QLatin1String("\\r");
        } else {
            out += c <= 0xFF ? QString::asprintf("\\x%02X", unsigned(c))
                             : QString::asprintf("\\u%04X", unsigned(c));
        }
    }
    return out;
}

void print(const QString& line)
{
    const QByteArray bytes = printable(line).toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout); // live output when piped (the estimate demonstration)
}

void printError(const QString& line)
{
    writeAll(ownErrorFd, printable(line).toUtf8() + '\n');
}

QString path(const QString& argument)
{
    QString p = argument;
    if (p == QLatin1String("~") || p.startsWith(QLatin1String("~/"))) {
        p = QDir::homePath() + p.mid(1);
    } else if (p.startsWith(QLatin1Char('~'))) {
        const qsizetype slash = p.indexOf(QLatin1Char('/'));
        const QByteArray user = p.mid(1, slash < 0 ? -1 : slash - 1).toLocal8Bit();
        if (const passwd* pw = ::getpwnam(user.constData()))
            p = QString::fromLocal8Bit(pw->pw_dir) + (slash < 0 ? QString() : p.mid(slash));
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(p));
}

QStringList paths(const QStringList& arguments)
{
    QStringList out;
    out.reserve(arguments.size());
    for (const QString& a : arguments)
        out << path(a);
    return out;
}

int run(const QStringList& args)
{
    const Command* command = find(args.value(1));
    const QStringList rest = args.mid(2);
    if (!command || rest.size() < command->minimum) return usage();
    if (!command->handler) return Modules::entries<GuiModule>().command(command->name, rest);
    return command->handler(rest);
}

int main(int argc, char** argv)
{
    silenceStandardError();
    qInstallMessageHandler(quiet);
    const Command* command = find(QString::fromLocal8Bit(argv[1]));
    std::unique_ptr<QCoreApplication> app;
    try {
        app = makeApplication(command ? command->needs : Needs::core, argc, argv);
    } catch (const std::exception& e) {
        print(QStringLiteral("error: ") + errorDescription(e));
        return 1;
    }
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    // Qt adopts the user's locale at start-up; numbers printed and passed to programs stay in "C".
    std::setlocale(LC_NUMERIC, "C");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        std::signal(signal, endChildrenAndExit);
    const int status = run(QCoreApplication::arguments());
    std::fflush(stdout);
    if (const int signal = Interrupts::received()) Interrupts::endBy(signal);
    // A conversion has committed its results and printed its lines by now. Its process ends
    // without the finalizers of the libraries it loaded (those under ffmpeg's alone are some
    // 150), which would only give back memory that goes with the process anyway, and without
    // making its caller wait while that memory is freed.
    if (command && command->needs == Needs::convert) {
        std::fflush(nullptr);
        exitAheadOfTeardown(status);
    }
    return status;
}

} // namespace CLI
