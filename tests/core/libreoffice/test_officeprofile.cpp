#include "core/libreoffice/iwork.h"

#include "core/converterror.h"
#include "core/shell.h"

#include "../../support/files.h"

#include <QRegularExpression>
#include <QtTest>
#include <ctime>
#include <sys/time.h>
#include <thread>

namespace {

const QString letter = "/usr/lib/libreoffice/share/template/common/officorr/Modern_business_letter_serif.ott";

// What every profile LibreOffice is given must hold, as LibreOffice writes it back.
const QByteArrayList settings{
    R"(<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="BlockUntrustedRefererLinks" oor:op="fuse"><value>true</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="MacroSecurityLevel" oor:op="fuse"><value>3</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Common/Security/Scripting"><prop oor:name="DisableMacrosExecution" oor:op="fuse"><value>true</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Writer/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>0</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Calc/Content/Update"><prop oor:name="Link" oor:op="fuse"><value>1</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="OOXMLRecalcMode" oor:op="fuse"><value>1</value></prop></item>)",
    R"(<item oor:path="/org.openoffice.Office.Calc/Formula/Load"><prop oor:name="ODFRecalcMode" oor:op="fuse"><value>1</value></prop></item>)",
};

// The settings missing from (or overridden later in) a profile's settings file.
QByteArrayList missing(const QByteArray& xcu)
{
    QByteArrayList absent;
    for (const QByteArray& setting : settings) {
        const QByteArray prop = setting.left(setting.indexOf("oor:op"));
        if (!xcu.contains(setting + '\n') || xcu.lastIndexOf(prop) != xcu.indexOf(setting) ||
            !xcu.trimmed().endsWith("</oor:items>"))
            absent << setting;
    }
    return absent;
}

} // namespace

// Real LibreOffice behind a wrapper of the same name, which runs its main program itself (as the
// launcher does, again when it asks for a restart), logs each start and keeps the settings file
// of the profile that start was given. With a "barrier" file in the log folder, a setup waits
// until a second one has begun.
class OfficeProfileTest : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    const QString m_bin = m_root.filePath("bin"), m_log = m_root.filePath("log");
    const QString m_cache = m_root.filePath("cache"), m_tmp = m_root.filePath("tmp");

    QString templates() const { return m_cache + "/tolvane"; }
    QStringList starts() const
    {
        return QString::fromUtf8(readAll(m_log + "/starts")).split('\n', Qt::SkipEmptyParts);
    }

    // Converts the letter to PDF under `name`; the error, or empty on success.
    QString convert(const QString& name)
    {
        const QString output = m_root.filePath("out/" + name + ".pdf");
        QDir().mkpath(m_root.filePath("out"));
        QFile::remove(output);
        try {
            IWork::export_(IWork::App::pages, letter, output, QString("PDF"), std::nullopt, nullptr);
        } catch (const ConvertError& e) {
            return e.message();
        }
        return readAll(output).startsWith("%PDF-") ? QString() : "no PDF";
    }

    // The one template in the cache.
    QString onlyTemplate() const
    {
        const QStringList names = entries(templates());
        return names.size() == 1 && names.first().startsWith("office-profile-")
                   ? templates() + '/' + names.first()
                   : "(" + names.join(' ') + ")";
    }

  private slots:
    void initTestCase()
    {
        const QString program =
            QFileInfo(Shell::find("soffice").value_or("/usr/bin/soffice")).canonicalFilePath();
        const QString folder = QFileInfo(program).path();
        if (!QFile::exists(folder + "/soffice.bin")) QSKIP("LibreOffice isn't installed");
        QVERIFY(QDir().mkpath(m_bin) && QDir().mkpath(m_log) && QDir().mkpath(m_tmp));
        QVERIFY(QFile::copy(folder + "/versionrc", m_bin + "/versionrc"));
        const QByteArray log = QFile::encodeName(m_log);
        writeFile(m_bin + "/soffice", "#!/bin/sh\nfor a; do case \"$a\" in -env:UserInstallation=file://*) "
                                      "profile=\"${a#-env:UserInstallation=file://}\";; "
                                      "--terminate_after_init) kind=setup;; esac; done\n"
                                      "while :; do\n  echo ${kind:-start} >> '" +
                                          log +
                                          "/starts'\n"
                                          "  i=0; while [ -e '" +
                                          log +
                                          "/barrier' ] && [ \"$kind\" = setup ] && [ $i -lt 6000 ] && "
                                          "[ $(/bin/grep -c setup '" +
                                          log +
                                          "/starts') -lt 2 ]; do /bin/sleep 0.01; i=$((i+1)); done\n"
                                          "  /bin/cat \"$profile/user/registrymodifications.xcu\" > '" +
                                          log + "/settings'\n  '" + QFile::encodeName(folder) +
                                          "/soffice.bin' \"$@\"; status=$?\n"
                                          "  [ $status = 81 ] || exit $status\ndone\n");
        QVERIFY(QFile::setPermissions(m_bin + "/soffice", QFile::ReadOwner | QFile::ExeOwner));
        qputenv("TOLVANE_SEARCH_PATH", QFile::encodeName(m_bin) + ":/usr/bin:/bin");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache));
        qputenv("TMPDIR", QFile::encodeName(m_tmp));
    }

    void init() { QFile::remove(m_log + "/starts"); }

    // Nothing is left in the temporary folder, nor half-made templates in the cache.
    void cleanup()
    {
        QCOMPARE(entries(m_tmp).join(" "), QString());
        QCOMPARE(entries(templates()).filter(QRegularExpression("^\\.")), QStringList());
    }

    // The first exchange sets a template up; the next starts LibreOffice's main program once, on
    // a copy of its own that holds every setting.
    void secondExchangeStartsOnce()
    {
        QDir(m_cache).removeRecursively();
        QCOMPARE(convert("first"), QString());
        QCOMPARE(starts().first(), "setup");
        const QString made = onlyTemplate();
        QCOMPARE(missing(readAll(made + "/user/registrymodifications.xcu")), QByteArrayList());
        QVERIFY(!readAll(made + "/user/registrymodifications.xcu").contains("ooLocale"));

        QFile::remove(m_log + "/starts");
        QFile::remove(m_log + "/settings");
        QCOMPARE(convert("second"), QString());
        QCOMPARE(starts(), QStringList{"start"});
        QCOMPARE(missing(readAll(m_log + "/settings")), QByteArrayList());
    }

    // A template that lacks a setting, or can't be read as LibreOffice would, is set up again;
    // the exchange itself runs on a profile holding every setting.
    void damagedTemplateIsRebuilt_data()
    {
        QTest::addColumn<QString>("damage");
        for (const char* damage :
             {"truncated", "setting gone", "setting overridden", "no settings", "not a folder"})
            QTest::newRow(damage) << QString(damage);
    }

    void damagedTemplateIsRebuilt()
    {
        QFETCH(QString, damage);
        if (entries(templates()).isEmpty()) QCOMPARE(convert("first"), QString());
        QFile::remove(m_log + "/starts");
        const QString made = onlyTemplate(), xcu = made + "/user/registrymodifications.xcu";
        QByteArray text = readAll(xcu);
        const QByteArray macros = settings.at(1);
        if (damage == "truncated") text.truncate(text.indexOf(macros) + 20);
        if (damage == "setting gone") text.replace(macros + '\n', "");
        if (damage == "setting overridden")
            text.replace("</oor:items>",
                         QByteArray(macros).replace("<value>3<", "<value>0<") + "\n</oor:items>");
        QVERIFY(QFile::remove(xcu));
        if (damage != "no settings") writeFile(xcu, text);
        if (damage == "not a folder")
            QVERIFY(QDir(made).removeRecursively() && !writeFile(made, "x").isEmpty());
        QVERIFY(!missing(readAll(xcu)).isEmpty());

        QFile::remove(m_log + "/settings");
        QCOMPARE(convert(damage), QString());
        QCOMPARE(starts(), (QStringList{"setup", "start"}));
        QCOMPARE(missing(readAll(m_log + "/settings")), QByteArrayList());
        QCOMPARE(onlyTemplate(), made);
        QCOMPARE(missing(readAll(xcu)), QByteArrayList());
    }

    // Two first exchanges at once each set a template up; both convert, and one template stays.
    // What an abandoned setup left is cleared away.
    void firstRunsAtOnce()
    {
        QDir(m_cache).removeRecursively();
        const QString abandoned =
            writeFile(templates() + "/.office-profile-abandoned/user/registrymodifications.xcu");
        const struct timeval dayAgo[2] = {{::time(nullptr) - 86400, 0}, {::time(nullptr) - 86400, 0}};
        QVERIFY(::utimes(QFile::encodeName(QFileInfo(abandoned).path() + "/..").constData(), dayAgo) == 0);
        writeFile(m_log + "/barrier");
        QString first, second;
        {
            std::jthread a([&] { first = convert("a"); }), b([&] { second = convert("b"); });
        }
        QCOMPARE(first, QString());
        QCOMPARE(second, QString());
        QFile::remove(m_log + "/barrier");
        QCOMPARE(starts().count("setup"), 2);
        QVERIFY(onlyTemplate().startsWith(templates() + "/office-profile-"));
        QCOMPARE(missing(readAll(onlyTemplate() + "/user/registrymodifications.xcu")), QByteArrayList());
    }
};

QTEST_GUILESS_MAIN(OfficeProfileTest)
#include "test_officeprofile.moc"
