// The file actions with their outside services recorded: what each one puts on the clipboard,
// moves, starts and says.

#include "app/fileactions.h"
#include "core/converterror.h"
#include "core/filemove.h"
#include "core/settings.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QtTest>

namespace {

struct Recorder
{
    QStringList toasts;   // "title|detail"
    QStringList launched; // "program|args|folder"
    QStringList shelved;
    std::optional<QString> chosen; // the folder the chooser answers with
    QString asked;                 // what the chooser was asked
    QStringList installed;
    bool sendable = false;

    FileActions::Services services()
    {
        return {[this](const QString& message, const QString& start) {
                    asked = message + " from " + start;
                    return chosen;
                },
                FileMove::moveInto,
                [this](const QString& name) {
                    return installed.contains(name) ? std::optional<QString>("/usr/bin/" + name)
                                                    : std::nullopt;
                },
                [this](const QString& program, const QStringList& args, const QString& folder) {
                    launched << program + '|' + args.join(' ') + '|' + folder;
                    return true;
                },
                [this](const QStringList&, std::function<void(bool)> done) { done(sendable); },
                [this](const QStringList& files) { shelved += files; },
                [this](const QString& title, const QString& detail) { toasts << title + '|' + detail; }};
    }
};

void touch(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class FileActionsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    QString home(const QString& name) const { return m_home.filePath(name); }

  private slots:
    void initTestCase() { qputenv("HOME", QFile::encodeName(m_home.path())); }

    void copies()
    {
        Recorder r;
        FileActions::perform(ActionID::copy, {home("a.txt")}, r.services());
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QCOMPARE(data->urls(), QList<QUrl>{QUrl::fromLocalFile(home("a.txt"))});
        QVERIFY(data->data("x-special/gnome-copied-files").startsWith("copy\nfile://"));
        FileActions::perform(ActionID::copy, {home("a.txt"), home("b.txt")}, r.services());
        QCOMPARE(QApplication::clipboard()->mimeData()->urls().size(), 2);

        FileActions::perform(ActionID::copyPath, {home("a.txt")}, r.services());
        QCOMPARE(QApplication::clipboard()->text(), home("a.txt"));
        FileActions::perform(ActionID::copyPath, {"/x/a.txt", "/y/b c.txt"}, r.services());
        QCOMPARE(QApplication::clipboard()->text(), QString("/x/a.txt\n/y/b c.txt"));
        QCOMPARE(r.toasts, (QStringList{"Copied a.txt|Paste in your file manager to make a copy.",
                                        "Copied 2 items|Paste in your file manager to make a copy.",
                                        "Copied path|~/a.txt", "Copied 2 paths|"}));
    }

    // Into a folder that holds the first name already: both files are kept.
    void movesWithoutReplacing()
    {
        QVERIFY(QDir(m_home.path()).mkpath("from") && QDir(m_home.path()).mkpath("to"));
        touch(home("from/a.txt"), "new");
        touch(home("from/b"), "b");
        touch(home("to/a.txt"), "old");
        Recorder r;
        r.chosen = home("to");
        FileActions::perform(ActionID::move, {home("from/a.txt"), home("from/b")}, r.services());
        QCOMPARE(r.asked, "Move 2 items to… from " + home("from"));
        QCOMPARE(r.toasts, QStringList{"Moved 2 items|~/to"});
        QCOMPARE(QDir(home("to")).entryList(QDir::Files), (QStringList{"a 2.txt", "a.txt", "b"}));
        QFile old(home("to/a.txt"));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QVERIFY(QDir(home("from")).isEmpty());
    }

    // One item cannot move: the others do, and the toast says what went wrong.
    void moveReportsTheFailure()
    {
        QVERIFY(QDir(m_home.path()).mkpath("src") && QDir(m_home.path()).mkpath("dst"));
        touch(home("src/one.txt"));
        touch(home("src/three.txt"));
        Recorder r;
        r.chosen = home("dst");
        FileActions::perform(ActionID::move,
                             {home("src/one.txt"), home("src/two.txt"), home("src/three.txt")}, r.services());
        QCOMPARE(r.toasts.size(), 1);
        QVERIFY2(r.toasts[0].startsWith("Couldn’t move everything|Couldn’t move “two.txt”: "),
                 qPrintable(r.toasts[0]));
        QCOMPARE(QDir(home("dst")).entryList(QDir::Files), (QStringList{"one.txt", "three.txt"}));

        // A cancelled chooser moves nothing and says nothing.
        Recorder cancelled;
        touch(home("src/four.txt"));
        FileActions::perform(ActionID::move, {home("src/four.txt")}, cancelled.services());
        QCOMPARE(cancelled.asked, "Move “four.txt” to… from " + home("src"));
        QVERIFY(cancelled.toasts.isEmpty() && QFileInfo::exists(home("src/four.txt")));
    }

    void terminal_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("first"); // the first dropped item, under the home folder
        QTest::addColumn<QString>("launched");
        QTest::newRow("a file: its folder") << "terminal" << QStringList{"xterm"} << "proj/a.txt"
                                            << "/usr/bin/xterm||@/proj";
        QTest::newRow("a folder: itself") << "terminal" << QStringList{"gnome-terminal", "xterm"} << "proj"
                                          << "/usr/bin/gnome-terminal|--working-directory=@/proj|@/proj";
        QTest::newRow("alternative installed") << "iterm" << QStringList{"kitty", "xterm"} << "proj"
                                               << "/usr/bin/kitty|--directory @/proj|@/proj";
        QTest::newRow("alternative missing: the default") << "iterm" << QStringList{"xterm"} << "proj"
                                                          << "/usr/bin/xterm||@/proj";
        QTest::newRow("no terminal at all") << "terminal" << QStringList{} << "proj"
                                            << "";
    }

    void terminal()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, installed);
        QFETCH(QString, first);
        QFETCH(QString, launched);
        QVERIFY(QDir(m_home.path()).mkpath("proj"));
        Settings::shared().setTerminalApp(*terminalAppFromRaw(setting));
        Recorder r;
        r.installed = installed;
        FileActions::perform(ActionID::openTerminal, {home(first), home("other")}, r.services());
        QCOMPARE(r.launched,
                 launched.isEmpty() ? QStringList{} : QStringList{launched.replace("@", m_home.path())});
        QVERIFY(r.toasts.isEmpty());
    }

    void sendAndFloat()
    {
        Recorder r;
        FileActions::perform(ActionID::airDrop, {home("a.png")}, r.services());
        QCOMPARE(r.toasts,
                 QStringList{"Sending to nearby devices isn’t available on this computer|Set up KDE "
                             "Connect or Bluetooth, then try again."});
        r.sendable = true;
        FileActions::perform(ActionID::airDrop, {home("a.png")}, r.services());
        QCOMPARE(r.toasts.size(), 1);
        FileActions::perform(ActionID::float_, {home("a.png"), home("b.png")}, r.services());
        QCOMPARE(r.shelved, (QStringList{home("a.png"), home("b.png")}));
    }
};

QTEST_MAIN(FileActionsTest)
#include "test_fileactions.moc"
