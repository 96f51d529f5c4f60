// Results shown in the file manager when a job ends, on a computer without one that answers:
// xdg-open opens the folder, else a file manager found by name, and when nothing can, a warning
// says why once in the session, under a headline the panel shows whole.

#include "app/hud.h"
#include "app/revealresults.h"
#include "core/jobs.h"
#include "core/settings.h"

#include <QtTest>

constexpr int patience = 10000;

class RevealResultsTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QStringList m_warnings;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A search path holding only a `program` (xdg-open by default) that runs `body`, or no
    // program at all.
    void searchOnly(const QByteArray& body, const QString& program = "xdg-open")
    {
        QDir(path("bin")).removeRecursively();
        QVERIFY(QDir().mkpath(path("bin")));
        if (!body.isEmpty()) {
            QFile opener(path("bin/" + program));
            QVERIFY(opener.open(QIODevice::WriteOnly));
            opener.write("#!/bin/sh\n" + body);
            opener.close();
            QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
        }
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(path("bin")));
        m_warnings.clear();
        Jobs::setRevealer(RevealResults::revealer(
            RevealResults::inFileManager,
            [this](const QString& title, const QString& detail) { m_warnings << title + '|' + detail; }));
    }

    // Waits until the folder a stand-in opener was given is noted, and reads it.
    QByteArray asked()
    {
        if (!QTest::qWaitFor([&] { return QFileInfo(path("asked")).size() > 0; }, patience)) return {};
        QFile file(path("asked"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
    }

    // Runs a job that saves `result` and waits until it has ended.
    static void runJob(const QString& result)
    {
        const auto job =
            Jobs::run(QStringLiteral("Converting"), {result}, std::nullopt,
                      [](const QString& file, Job&, const Progress&) { return QStringList{file}; });
        QVERIFY(QTest::qWaitFor([&] { return job->state().phase != Job::Phase::running; }, patience));
        QCOMPARE(job->state().phase, Job::Phase::done);
    }

  private slots:
    void initTestCase()
    {
        // No session bus: the file manager's own call fails at once.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName("unix:path=" + path("no-bus")));
        Settings::shared().setRevealInFinder(true);
        QVERIFY(QDir().mkpath(path("out")));
        QFile result(path("out/a.png"));
        QVERIFY(result.open(QIODevice::WriteOnly));
    }

    // Neither a file manager nor xdg-open: the first job says so, the next ones don't.
    void nothingInstalled()
    {
        searchOnly({});
        for (int i = 0; i < 3; ++i)
            runJob(path("out/a.png"));
        QCOMPARE(m_warnings, QStringList{"Couldn’t show the results|xdg-open is not installed, nor a file "
                                         "manager to open the folder with. Install it with: sudo apt "
                                         "install xdg-utils"});
    }

    // xdg-open with nothing to open a folder with, as it says it.
    void nothingOpensFolders()
    {
        searchOnly("echo \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
        runJob(path("out/a.png"));
        QVERIFY(QTest::qWaitFor([&] { return !m_warnings.isEmpty(); }, patience));
        QCOMPARE(m_warnings, QStringList{"Couldn’t show the results|xdg-open: no method "
                                         "available for opening '" +
                                         path("out") + "'"});
    }

    // xdg-open that opens it: the results' folder is asked for.
    void folderOpened()
    {
        QFile::remove(path("asked"));
        searchOnly("echo \"$1\" > '" + QFile::encodeName(path("asked")) + "'\n");
        runJob(path("out/a.png"));
        QCOMPARE(asked(), QFile::encodeName(path("out")));
    }

    // No xdg-open, but pcmanfm, which hands the folder to its open window and ends: it opens the
    // folder, and nothing is said.
    void fileManagerWithoutXdgOpen()
    {
        QFile::remove(path("asked"));
        searchOnly("echo \"$@\" > '" + QFile::encodeName(path("asked")) + "'\n", "pcmanfm");
        runJob(path("out/a.png"));
        QCOMPARE(asked(), QFile::encodeName(path("out")));
        QCOMPARE(m_warnings, QStringList());
    }

    // The warning's headline is drawn whole on its panel, beside the close button and the sign.
    void warningHeadlineFits()
    {
        searchOnly({});
        Jobs::setRevealer(RevealResults::revealer());
        runJob(path("out/a.png"));
        // The toast, among the panels of the jobs.
        const HUDView* view = nullptr;
        QVERIFY(QTest::qWaitFor(
            [&] {
                for (const QUuid& id : HUD::shared().order())
                    if (const QWidget* panel = HUD::shared().panel(id))
                        if (const auto* shown = panel->findChild<HUDView*>();
                            shown && !shown->job()->showsProgress())
                            view = shown;
                return view != nullptr;
            },
            patience));
        const HudState state = HUDView::state(*view->job());
        QCOMPARE(state.headline, QString("Couldn’t show the results"));
        QCOMPARE(state.icon, HudState::Icon::failed);
        QCOMPARE(HUDView::shownHeadline(state, QRectF(view->rect()), view), state.headline);
    }
};

QTEST_MAIN(RevealResultsTest)
#include "test_revealresults.moc"
