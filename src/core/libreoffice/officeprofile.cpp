#include "core/libreoffice/officeprofile.h"

#include "core/converterror.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/shell.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <utility>

namespace {

struct Setting
{
    const char* path;
    const char* name;
    const char* value;
};

// Links in a document are never updated or followed, remote content is blocked, cached formula
// results are used instead of recalculating, and macros never run. The copy LibreOffice is
// handed has its links left out already; this is the second line.
constexpr Setting settings[] = {
    {"/org.openoffice.Office.Common/Security/Scripting", "BlockUntrustedRefererLinks", "true"},
    {"/org.openoffice.Office.Common/Security/Scripting", "MacroSecurityLevel", "3"},
    {"/org.openoffice.Office.Common/Security/Scripting", "DisableMacrosExecution", "true"},
    {"/org.openoffice.Office.Writer/Content/Update", "Link", "0"},
    {"/org.openoffice.Office.Calc/Content/Update", "Link", "1"},
    {"/org.openoffice.Office.Calc/Formula/Load", "OOXMLRecalcMode", "1"},
    {"/org.openoffice.Office.Calc/Formula/Load", "ODFRecalcMode", "1"},
};

const QString settingsFile = QStringLiteral("/user/registrymodifications.xcu");

// Far more than LibreOffice writes into a profile it has only set up.
constexpr qint64 maxSettingsSize = 16 << 20;

// Setting up a profile takes LibreOffice well under a second; past this it is stuck.
constexpr std::chrono::minutes setupTimeLimit{1};

QByteArray settingsDocument()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
                     "xmlns:oor=\"http://openoffice.org/2001/registry\" "
                     "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n";
    for (const Setting& setting : settings)
        xml += QByteArray("<item oor:path=\"") + setting.path + "\"><prop oor:name=\"" + setting.name +
               "\" oor:op=\"fuse\"><value>" + setting.value + "</value></prop></item>\n";
    return xml + "</oor:items>\n";
}

// A new profile holding only the settings.
void writeSettings(const QString& folder)
{
    try {
        if (!QDir().mkpath(folder + QStringLiteral("/user")))
            throw ConvertError::failed(QStringLiteral("its folder can’t be created"));
        Output::writeFile(folder + settingsFile, settingsDocument());
    } catch (const ConvertError& e) {
        throw ConvertError::failed(
            QStringLiteral("Couldn’t prepare LibreOffice’s private profile: %1").arg(e.message()),
            e.details());
    }
}

void removeItem(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

void empty(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        removeItem(dir.filePath(name));
}

// A folder that goes with everything in it when its owner does, unless released.
class Leftover
{
  public:
    explicit Leftover(QString path) : m_path(std::move(path)) {}
    Leftover(Leftover&& other) noexcept : m_path(std::exchange(other.m_path, QString())) {}
    Leftover& operator=(Leftover&&) = delete;
    ~Leftover()
    {
        if (!m_path.isEmpty()) removeItem(m_path);
    }
    const QString& path() const { return m_path; }
    void release() { m_path.clear(); }

  private:
    QString m_path;
};

// Where the template for the LibreOffice program `soffice` is kept: named after its build's
// version file (where it lies, what it says, when it was written) and the settings, so that an
// update of either gets a template of its own. None without a version file or a cache folder.
std::optional<QString> templatePath(const QString& soffice)
{
    const QString program = QFileInfo(soffice).canonicalFilePath();
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (program.isEmpty() || cache.isEmpty()) return std::nullopt;
    const QFileInfo version(QFileInfo(program).path() + QStringLiteral("/versionrc"));
    QFile file(version.filePath());
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QFile::encodeName(version.filePath()) + '\n');
    hash.addData(file.read(1 << 20) + '\n');
    hash.addData(QByteArray::number(version.lastModified().toMSecsSinceEpoch()) + '\n');
    hash.addData(settingsDocument());
    return cache + QStringLiteral("/tolvane/office-profile-") +
           QString::fromLatin1(hash.result().toHex().left(16));
}

// Copies the profile `from` into the empty folder `to`, leaving out links.
bool copied(const QString& from, const QString& to)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::copy(fs::path(QFile::encodeName(from).toStdString()), fs::path(QFile::encodeName(to).toStdString()),
             fs::copy_options::recursive | fs::copy_options::skip_symlinks, error);
    return !error;
}

// LibreOffice records the interface language it picked for the environment it was set up in;
// each exchange picks its own instead, as on a new profile.
void forgetLanguage(const QString& folder)
{
    QFile file(folder + settingsFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSettingsSize)
        throw ConvertError::failed(QStringLiteral("LibreOffice wrote no settings"));
    QByteArrayList lines = file.readAll().split('\n');
    file.close();
    lines.removeIf([](const QByteArray& line) { return line.contains("oor:name=\"ooLocale\""); });
    QFile::remove(file.fileName());
    Output::writeFile(file.fileName(), lines.join('\n'));
}

// Removes the folders of setups that ended without cleaning up (a killed process), old enough
// that no setup can still be running in them.
void removeAbandoned(const QString& parent)
{
    const QDateTime cutoff = QDateTime::currentDateTime().addSecs(-2 * 60 * setupTimeLimit.count());
    const QDir dir(parent);
    for (const QFileInfo& info : dir.entryInfoList({QStringLiteral(".office-profile-*")},
                                                   QDir::AllEntries | QDir::Hidden | QDir::System))
        if (info.lastModified() < cutoff) removeItem(info.filePath());
}

// Lets LibreOffice set up a new profile that holds the settings, in a folder beside `target`
// (so that it can be renamed into place); nothing when LibreOffice fails at it.
std::optional<Leftover> setUp(const QString& soffice, const QString& target, Job* job)
{
    const QString parent = QFileInfo(target).path();
    removeAbandoned(parent);
    QByteArray pattern = QFile::encodeName(parent + QStringLiteral("/.office-profile-XXXXXX"));
    if (!QDir().mkpath(parent) || !::mkdtemp(pattern.data())) return std::nullopt;
    Leftover folder(QFile::decodeName(pattern));
    writeSettings(folder.path());
    const Shell::Result result = OfficeProfile::run(
        soffice, folder.path(), {QStringLiteral("--terminate_after_init")}, job, setupTimeLimit);
    if (result.timedOut || result.status != 0) return std::nullopt;
    forgetLanguage(folder.path());
    if (!OfficeProfile::holdsSettings(folder.path())) return std::nullopt;
    return folder;
}

// Renames the new template into place. A template already there stays if it holds the settings
// (another exchange's first run won the race); a damaged one is swapped out and goes with
// `made`.
void install(Leftover& made, const QString& target)
{
    const QByteArray from = QFile::encodeName(made.path()), to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        made.release();
        return;
    }
    if ((errno != EEXIST && errno != ENOTEMPTY) || OfficeProfile::holdsSettings(target)) return;
    ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_EXCHANGE);
}

} // namespace

namespace OfficeProfile {

void make(const QString& soffice, const QString& folder, Job* job)
{
    if (const std::optional<QString> target = templatePath(soffice)) {
        if (copied(*target, folder) && holdsSettings(folder)) return;
        empty(folder);
        try {
            if (std::optional<Leftover> made = setUp(soffice, *target, job)) {
                const bool usable = copied(made->path(), folder) && holdsSettings(folder);
                install(*made, *target);
                if (usable) return;
                empty(folder);
            }
        } catch (const ConvertError& e) {
            if (e.isCancelled()) throw;
            empty(folder); // a new profile below still serves, and names a failure to write it
        }
    }
    writeSettings(folder);
}

bool holdsSettings(const QString& folder)
{
    QFile file(folder + settingsFile);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxSettingsSize) return false;
    QXmlStreamReader reader(&file);
    reader.setNamespaceProcessing(false);
    QHash<QString, QString> values; // "path|name" → value; a later item overrides, as LibreOffice reads
    QString item;
    QStringList nodes;
    QString prop;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::EndElement && reader.name() == QLatin1String("node") &&
            !nodes.isEmpty())
            nodes.removeLast();
        if (token != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("item")) {
            item = attributes.value(QLatin1String("oor:path")).toString();
            nodes.clear();
        } else if (reader.name() == QLatin1String("node")) {
            nodes.append(attributes.value(QLatin1String("oor:name")).toString());
        } else if (reader.name() == QLatin1String("prop")) {
            prop = attributes.value(QLatin1String("oor:name")).toString();
        } else if (reader.name() == QLatin1String("value")) {
            const QString path =
                nodes.isEmpty() ? item : item + QLatin1Char('/') + nodes.join(QLatin1Char('/'));
            values.insert(path + QLatin1Char('|') + prop, reader.readElementText());
        }
    }
    if (reader.hasError()) return false;
    for (const Setting& setting : settings)
        if (values.value(QLatin1String(setting.path) + QLatin1Char('|') + QLatin1String(setting.name)) !=
            QLatin1String(setting.value))
            return false;
    return true;
}

QStringList runArgs(const QString& folder)
{
    return {
        QStringLiteral("--headless"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
        QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded),
    };
}

Shell::Result run(const QString& soffice, const QString& folder, const QStringList& args, Job* job,
                  std::chrono::milliseconds timeLimit)
{
    // LibreOffice leaves its temporary folder behind when it is stopped, and when setting up a
    // profile: it gets one of ours, which goes when the run ends.
    const ScratchFolder temporary;
    const QString env = Shell::find(QStringLiteral("env")).value_or(QStringLiteral("/usr/bin/env"));
    return Shell::run(
        env, QStringList{QStringLiteral("TMPDIR=") + temporary.path(), soffice} + runArgs(folder) + args,
        std::nullopt, job, {}, timeLimit);
}

} // namespace OfficeProfile
