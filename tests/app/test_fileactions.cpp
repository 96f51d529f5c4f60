// The file actions with their outside services recorded: what each one puts on the clipboard,
// moves, starts and says.

#include "app/fileactions.h"
#include "core/converterror.h"
#include "core/filemove.h"
#include "core/settings.h"
#include "platform/clipboard.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QtTest>

namespace {

struct Recorder
{
    QStringList toasts;   // "title|detail", a warning's with "! " before it
    QStringList launched; // "program|args|folder"
    QStringList shelved;
    std::optional<QString> chosen; // the folder the chooser answers with
    QString asked;                 // what the chooser was asked
    QStringList installed;
    bool sendable = false;
    QString launchFailure;                   // what a launched program fails with at once; none when empty
    std::optional<QString> clipboardRefusal; // why the clipboard won't take anything

    FileActions::Services services()
    {
        return {
            [this](const QString& message, const QString& start) {
                asked = message + " from " + start;
                return chosen;
            },
            FileMove::moveInto,
            [this](const QString& name) {
                return installed.contains(name) ? std::optional<QString>("/usr/bin/" + name) : std::nullopt;
            },
            [this](const QString& program, const QStringList& args, const QString& folder,
                   std::function<void(const QString&)> failed) {
                launched << program + '|' + args.join(' ') + '|' + folder;
                if (!launchFailure.isEmpty()) failed(launchFailure);
            },
            [this](const QStringList&, std::function<void(bool)> done) { done(sendable); },
            [this](const QStringList& files) { shelved += files; },
            [this](const QString& title, const QString& detail) { toasts << title + '|' + detail; },
            [this](const QString& title, const QString& detail) { toasts << "! " + title + '|' + detail; },
            [this](const QStringList& files) {
                return clipboardRefusal ? clipboardRefusal : Clipboard::putFiles(files);
            },
            [this](const QString& text) {
                return clipboardRefusal ? clipboardRefusal : Clipboard::putText(text);
            }};
    }
};

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

} // namespace

class FileActionsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString home(const QString& name) const { return m_home.filePath(name); }

  private slots:
    void initTestCase() { qputenv("HOME", QFile::encodeName(m_home.path())); }

    // The clipboard's own forms are the platform's test; here, what each copy says.
    void copies()
    {
        Recorder r;
        FileActions::perform(ActionID::copy, {home("a.txt")}, r.services());
        QCOMPARE(QApplication::clipboard()->mimeData()->urls(),
                 QList<QUrl>{QUrl::fromLocalFile(home("a.txt"))});
        FileActions::perform(ActionID::copy, {home("a.txt"), home("b.txt")}, r.services());
        FileActions::perform(ActionID::copyPath, {home("a.txt")}, r.services());
        QCOMPARE(QApplication::clipboard()->text(), home("a.txt"));
        FileActions::perform(ActionID::copyPath, {"/x/a.txt", "/y/b c.txt"}, r.services());
        QCOMPARE(QApplication::clipboard()->text(), QString("/x/a.txt\n/y/b c.txt"));
        QCOMPARE(r.toasts, (QStringList{"Copied a.txt|Paste in your file manager to make a copy.",
                                        "Copied 2 items|Paste in your file manager to make a copy.",
                                        "Copied path|~/a.txt", "Copied 2 paths|"}));

        // A clipboard that won't take them gets no word of success.
        Recorder refused;
        refused.clipboardRefusal = "held elsewhere";
        FileActions::perform(ActionID::copy, {home("a.txt")}, refused.services());
        FileActions::perform(ActionID::copyPath, {home("a.txt")}, refused.services());
        FileActions::perform(ActionID::copyPath, {"/x/a.txt", "/y/b c.txt"}, refused.services());
        QCOMPARE(refused.toasts,
                 (QStringList{"! Couldn’t copy|held elsewhere", "! Couldn’t copy the path|held elsewhere",
                              "! Couldn’t copy the paths|held elsewhere"}));
    }

    // The chooser starts in the first item's folder; a cancelled one moves nothing and says
    // nothing. What can move does, past one that cannot, and one toast tells how it ended.
    void moves()
    {
        QVERIFY(QDir(m_home.path()).mkpath("from") && QDir(m_home.path()).mkpath("to"));
        for (const char* name : {"from/a.txt", "from/b", "from/c", "to/a.txt"})
            touch(home(name));
        Recorder cancelled;
        FileActions::perform(ActionID::move, {home("from/a.txt")}, cancelled.services());
        QCOMPARE(cancelled.asked, "Move “a.txt” to… from " + home("from"));
        QVERIFY(cancelled.toasts.isEmpty() && QFileInfo::exists(home("from/a.txt")));

        Recorder r;
        r.chosen = home("to");
        FileActions::perform(ActionID::move, {home("from/a.txt"), home("from/b")}, r.services());
        QCOMPARE(r.asked, "Move 2 items to… from " + home("from"));
        QCOMPARE(r.toasts, QStringList{"Moved 2 items|~/to"});
        QCOMPARE(QDir(home("to")).entryList(QDir::Files), (QStringList{"a 2.txt", "a.txt", "b"}));

        Recorder failing;
        failing.chosen = home("to");
        FileActions::perform(ActionID::move, {home("from/gone"), home("from/c")}, failing.services());
        QCOMPARE(failing.toasts.size(), 1);
        QVERIFY2(failing.toasts[0].startsWith("! Couldn’t move everything|Couldn’t move “gone”: "),
                 qPrintable(failing.toasts[0]));
        QVERIFY(QFileInfo::exists(home("to/c")));

        // Into the folder they are in: nothing moves, and the toast says so; one that moves counts.
        Recorder stays;
        stays.chosen = home("to");
        touch(home("from/d"));
        FileActions::perform(ActionID::move, {home("to/a.txt"), home("to/./b")}, stays.services());
        FileActions::perform(ActionID::move, {home("to/c"), home("from/d")}, stays.services());
        QCOMPARE(stays.toasts, (QStringList{"Already in to|~/to", "Moved 1 item|~/to"}));
        QCOMPARE(QDir(home("to")).entryList(QDir::Files), (QStringList{"a 2.txt", "a.txt", "b", "c", "d"}));
    }

    // The terminal opens in the first item's folder, or in the item when it is one; the chosen
    // alternative only when it is installed. Without any terminal, or with one that fails at once,
    // a warning says why.
    void terminal()
    {
        QVERIFY(QDir(m_home.path()).mkpath("proj"));
        const std::tuple<const char*, QStringList, const char*, QString> rows[] = {
            {"terminal", {"xterm"}, "proj/a.txt", "/usr/bin/xterm||@/proj"},
            {"terminal",
             {"gnome-terminal", "xterm"},
             "proj",
             "/usr/bin/gnome-terminal|--working-directory=@/proj|@/proj"},
            {"iterm", {"kitty", "xterm"}, "proj", "/usr/bin/kitty|--directory @/proj|@/proj"},
            {"iterm", {"xterm"}, "proj", "/usr/bin/xterm||@/proj"},
        };
        for (auto [setting, installed, first, launched] : rows) {
            Settings::shared().setTerminalApp(*terminalAppFromRaw(setting));
            Recorder r;
            r.installed = installed;
            FileActions::perform(ActionID::openTerminal, {home(first), home("other")}, r.services());
            QCOMPARE(r.launched.join(""), launched.replace("@", m_home.path()));
            QVERIFY(r.toasts.isEmpty());
        }
        // No terminal at all, whichever is chosen: nothing starts, and a warning says why.
        for (const char* setting : {"terminal", "iterm"}) {
            Settings::shared().setTerminalApp(*terminalAppFromRaw(setting));
            Recorder none;
            FileActions::perform(ActionID::openTerminal, {home("proj")}, none.services());
            QVERIFY(none.launched.isEmpty());
            QCOMPARE(none.toasts, QStringList{"! Couldn’t open a terminal|No terminal program is installed. "
                                              "Install one with: sudo apt install xterm"});
        }
        Recorder r;
        r.installed = {"xterm"};
        r.launchFailure = "xterm: Xt error: Can't open display: :99";
        FileActions::perform(ActionID::openTerminal, {home("proj")}, r.services());
        QCOMPARE(r.toasts,
                 QStringList{"! Couldn’t open a terminal|xterm: Xt error: Can't open display: :99"});
    }

    void sendAndFloat()
    {
        Recorder r;
        FileActions::perform(ActionID::airDrop, {home("a.png")}, r.services());
        QCOMPARE(r.toasts, QStringList{"! Couldn’t send|Set up KDE Connect or Bluetooth, then try again."});
        r.sendable = true;
        FileActions::perform(ActionID::airDrop, {home("a.png")}, r.services());
        QCOMPARE(r.toasts.size(), 1);
        FileActions::perform(ActionID::float_, {home("a.png"), home("b.png")}, r.services());
        QCOMPARE(r.shelved, (QStringList{home("a.png"), home("b.png")}));
    }
};

QTEST_MAIN(FileActionsTest)
#include "test_fileactions.moc"
