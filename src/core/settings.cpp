#include "core/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <cmath>

namespace {

QString defaultOutputFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return downloads.isEmpty() ? QDir::homePath() : downloads;
}

// Booleans and numbers come back from the file as text; anything unreadable is the default.
bool readBool(const QSettings& s, const char* key, bool fallback)
{
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid()) return fallback;
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    const QString text = v.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1")) return true;
    if (text == QLatin1String("false") || text == QLatin1String("0")) return false;
    return fallback;
}

double readNumber(const QSettings& s, const char* key, double fallback, double lo, double hi)
{
    bool ok = false;
    const double v = s.value(QLatin1String(key)).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return fallback;
    return std::clamp(v, lo, hi);
}

double clampNumber(double v, double fallback, double lo, double hi)
{
    return std::isfinite(v) ? std::clamp(v, lo, hi) : fallback;
}

} // namespace

Settings& Settings::shared()
{
    static Settings* instance = new Settings;
    return *instance;
}

std::unique_ptr<QSettings> Settings::store()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Tolvane"), QStringLiteral("Tolvane"));
}

Settings::Settings()
{
    reload();
}

void Settings::reload()
{
    const auto s = store();
    const Values d;
    Values v;
    v.convertKey = modifierKeyFromRaw(s->value("convertKey").toString()).value_or(d.convertKey);
    v.toolsKey = modifierKeyFromRaw(s->value("toolsKey").toString()).value_or(d.toolsKey);
    v.actionsKey = modifierKeyFromRaw(s->value("actionsKey").toString()).value_or(d.actionsKey);
    v.saveLocation = s->value("saveLocation").toString() == QLatin1String("folder")
                         ? SaveLocation::folder
                         : SaveLocation::besideOriginal;
    const QVariant folder = s->value("outputFolder");
    if (!folder.isValid())
        v.outputFolder = defaultOutputFolder();
    else
        v.outputFolder = folder.canConvert<QString>() ? folder.toString() : QDir::homePath();
    v.imageQuality = readNumber(*s, "imageQuality", d.imageQuality, minImageQuality, maxImageQuality);
    v.pdfDPI = readNumber(*s, "pdfDPI", d.pdfDPI, minPdfDPI, maxPdfDPI);
    v.highlightSound = readBool(*s, "highlightSound", d.highlightSound);
    v.haptics = readBool(*s, "haptics", d.haptics);
    v.revealInFinder = readBool(*s, "revealInFinder", d.revealInFinder);
    v.terminalApp = s->value("terminalApp").toString() == QLatin1String("iterm") ? TerminalApp::iterm
                                                                                 : TerminalApp::terminal;
    v.enabled = readBool(*s, "enabled", d.enabled);
    v.onboarded = readBool(*s, "onboarded", d.onboarded);
    QMutexLocker locker(&m_lock);
    m_v = v;
}

#define TOLVANE_GETTER(type, name)                                                                           \
    type Settings::name() const                                                                              \
    {                                                                                                        \
        QMutexLocker locker(&m_lock);                                                                        \
        return m_v.name;                                                                                     \
    }
TOLVANE_GETTER(ModifierKey, convertKey)
TOLVANE_GETTER(ModifierKey, toolsKey)
TOLVANE_GETTER(ModifierKey, actionsKey)
TOLVANE_GETTER(SaveLocation, saveLocation)
TOLVANE_GETTER(QString, outputFolder)
TOLVANE_GETTER(double, imageQuality)
TOLVANE_GETTER(double, pdfDPI)
TOLVANE_GETTER(bool, highlightSound)
TOLVANE_GETTER(bool, haptics)
TOLVANE_GETTER(bool, revealInFinder)
TOLVANE_GETTER(TerminalApp, terminalApp)
TOLVANE_GETTER(bool, enabled)
TOLVANE_GETTER(bool, onboarded)
#undef TOLVANE_GETTER

template <typename T>
void Settings::change(T Values::*field, const T& value, const char* key, const QVariant& stored,
                      void (Settings::*changed)())
{
    {
        QMutexLocker locker(&m_lock);
        if (m_v.*field == value) return;
        m_v.*field = value;
    }
    store()->setValue(QLatin1String(key), stored);
    emit(this->*changed)();
}

void Settings::setConvertKey(ModifierKey key)
{
    change(&Values::convertKey, key, "convertKey", rawValue(key), &Settings::convertKeyChanged);
}
void Settings::setToolsKey(ModifierKey key)
{
    change(&Values::toolsKey, key, "toolsKey", rawValue(key), &Settings::toolsKeyChanged);
}
void Settings::setActionsKey(ModifierKey key)
{
    change(&Values::actionsKey, key, "actionsKey", rawValue(key), &Settings::actionsKeyChanged);
}
void Settings::setSaveLocation(SaveLocation location)
{
    change(&Values::saveLocation, location, "saveLocation", rawValue(location),
           &Settings::saveLocationChanged);
}
void Settings::setOutputFolder(const QString& folder)
{
    change(&Values::outputFolder, folder, "outputFolder", folder, &Settings::outputFolderChanged);
}
void Settings::setImageQuality(double quality)
{
    const double q = clampNumber(quality, imageQuality(), minImageQuality, maxImageQuality);
    change(&Values::imageQuality, q, "imageQuality", q, &Settings::imageQualityChanged);
}
void Settings::setPdfDPI(double dpi)
{
    const double v = clampNumber(dpi, pdfDPI(), minPdfDPI, maxPdfDPI);
    change(&Values::pdfDPI, v, "pdfDPI", v, &Settings::pdfDPIChanged);
}
void Settings::setHighlightSound(bool on)
{
    change(&Values::highlightSound, on, "highlightSound", on, &Settings::highlightSoundChanged);
}
void Settings::setHaptics(bool on)
{
    change(&Values::haptics, on, "haptics", on, &Settings::hapticsChanged);
}
void Settings::setRevealInFinder(bool on)
{
    change(&Values::revealInFinder, on, "revealInFinder", on, &Settings::revealInFinderChanged);
}
void Settings::setTerminalApp(TerminalApp app)
{
    change(&Values::terminalApp, app, "terminalApp", rawValue(app), &Settings::terminalAppChanged);
}
void Settings::setEnabled(bool on)
{
    change(&Values::enabled, on, "enabled", on, &Settings::enabledChanged);
}
void Settings::setOnboarded(bool on)
{
    change(&Values::onboarded, on, "onboarded", on, &Settings::onboardedChanged);
}

QString Settings::outputDirectory(const QString& source) const
{
    if (saveLocation() == SaveLocation::folder) {
        QString folder = outputFolder();
        if (folder == QLatin1String("~"))
            folder = QDir::homePath();
        else if (folder.startsWith(QLatin1String("~/")))
            folder = QDir::homePath() + folder.mid(1);
        const QFileInfo info(folder);
        if (!folder.isEmpty() && info.isDir()) return QDir::cleanPath(info.absoluteFilePath());
    }
    const QString beside = QFileInfo(source).absolutePath();
    if (beside != QDir::cleanPath(dataFolder())) return beside;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? QDir::cleanPath(pictures) : QDir::homePath();
}

QString Settings::dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Tolvane");
}
