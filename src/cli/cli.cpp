#include "cli/cli.h"

#include "cli/convert.h"
#include "cli/etademo.h"
#include "cli/icon.h"
#include "cli/renderhud.h"
#include "cli/renderwheel.h"
#include "core/catalog.h"
#include "core/converterror.h"
#include "core/shell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <functional>
#include <pwd.h>

namespace CLI {

namespace {

// Ctrl-C or a kill ends the children a command is waiting for, then the command itself.
void endChildrenAndExit(int signal)
{
    Shell::terminateAll();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// Options that draw widgets and so need a GUI application object (rendered offscreen).
bool needsGui(const QString& option)
{
    return option.startsWith(QLatin1String("--render-")) || option == QLatin1String("--icon");
}

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

// Runs a command that prints one line on success; a thrown error becomes the "error: " line.
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

int count()
{
    print(QString::number(Catalog::conversionPathCount()));
    return 0;
}

} // namespace

bool isCommandLine(int argc, char** argv)
{
    if (argc < 2) return false;
    const QByteArray first(argv[1]);
    return first.startsWith("--") && first != "--app";
}

QString usageLine()
{
    return QStringLiteral(
        "usage: Tolvane --targets FILE… | --convert FORMAT FILE… | --tool TOOL FILE… | "
        "--render-wheel MODE OUT.png FILE… [--highlight N] | --render-tool TOOL OUT.png FILE…");
}

void print(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout); // live output when piped (the estimate demonstration)
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

namespace {
int usage()
{
    print(usageLine());
    return 2;
}

// Commands speak only through standard output; Qt's own chatter (offscreen platform notes,
// missing runtime folder) would garble scripted use.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(message.toLocal8Bit().constData(), stderr);
        std::abort();
    }
}
} // namespace

int run(const QStringList& args)
{
    const QString option = args.value(1);
    const QStringList rest = args.mid(2);
    if (option == QLatin1String("--targets")) return targets(rest);
    if (option == QLatin1String("--count")) return count();
    if (option == QLatin1String("--convert")) return convert(rest);
    if (option == QLatin1String("--eta-demo")) return etaDemo();
    if (option == QLatin1String("--render-wheel")) {
        if (rest.size() < 3) return usage();
        const std::optional<WheelMode> mode = wheelModeFromRaw(rest[0]);
        if (!mode) return usage();
        const QString out = path(rest[1]);
        QStringList files = rest.mid(2);
        const std::optional<int> highlight = takeHighlight(files);
        return printing([&] { return renderWheel(*mode, out, paths(files), highlight); });
    }
    if (option == QLatin1String("--icon")) {
        if (rest.size() < 2) return usage();
        const std::optional<double> size = iconSize(rest[1]);
        if (!size) return usage();
        try {
            renderIcon(path(rest[0]), *size);
            return 0;
        } catch (const std::exception& e) {
            print(QStringLiteral("error: ") + errorDescription(e));
            return 1;
        }
    }
    if (option == QLatin1String("--render-hud")) {
        if (rest.isEmpty()) return usage();
        return printing([&] { return renderHud(path(rest.first())); });
    }
    return usage();
}

int main(int argc, char** argv)
{
    const QString option = QString::fromLocal8Bit(argv[1]);
    qInstallMessageHandler(quiet);
    std::unique_ptr<QCoreApplication> app;
    if (needsGui(option)) {
        // Renderings never need a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("Tolvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    // Qt adopts the user's locale at start-up; numbers printed and passed to programs stay in "C".
    std::setlocale(LC_NUMERIC, "C");
    std::signal(SIGINT, endChildrenAndExit);
    std::signal(SIGTERM, endChildrenAndExit);
    const int status = run(QCoreApplication::arguments());
    std::fflush(stdout);
    return status;
}

} // namespace CLI
