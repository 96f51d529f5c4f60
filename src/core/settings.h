#pragma once

#include "core/modifierkey.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

// The user's preferences, kept in ~/.config/Tolvane/Tolvane.conf. Changed on the main thread;
// read from any thread. Every change is written at once and announced by its signal.
class Settings : public QObject
{
    Q_OBJECT
  public:
    static Settings& shared();
    // The settings store itself, also used for the panel position and the estimate history.
    static std::unique_ptr<QSettings> store();

    // Bounds applied when the numbers are read, so a hand-edited file cannot ask for a
    // zero-quality image or a million-dpi page.
    static constexpr double minImageQuality = 0.05, maxImageQuality = 1.0;
    static constexpr double minPdfDPI = 36, maxPdfDPI = 1200;

    ModifierKey convertKey() const;
    ModifierKey toolsKey() const;
    ModifierKey actionsKey() const;
    SaveLocation saveLocation() const;
    QString outputFolder() const;
    double imageQuality() const;
    double pdfDPI() const;
    bool highlightSound() const;
    bool haptics() const;
    bool revealInFinder() const;
    TerminalApp terminalApp() const;
    bool enabled() const;
    bool onboarded() const;

    void setConvertKey(ModifierKey key);
    void setToolsKey(ModifierKey key);
    void setActionsKey(ModifierKey key);
    void setSaveLocation(SaveLocation location);
    void setOutputFolder(const QString& folder);
    void setImageQuality(double quality);
    void setPdfDPI(double dpi);
    void setHighlightSound(bool on);
    void setHaptics(bool on);
    void setRevealInFinder(bool on);
    void setTerminalApp(TerminalApp app);
    void setEnabled(bool on);
    void setOnboarded(bool on);

    // The folder that receives the results made from `source`: the chosen output folder when
    // that is the setting and it exists as a folder, else the source's own folder. A source in
    // the application's data folder (the welcome window's sample) is not the user's to look
    // for there: its results go to the user's pictures folder, or home when there is none.
    QString outputDirectory(const QString& source) const;
    // The application's own data folder (~/.local/share/Tolvane), hidden from the user.
    static QString dataFolder();

    // Reads every value again from the store (tests and a fresh start).
    void reload();

  signals:
    void convertKeyChanged();
    void toolsKeyChanged();
    void actionsKeyChanged();
    void saveLocationChanged();
    void outputFolderChanged();
    void imageQualityChanged();
    void pdfDPIChanged();
    void highlightSoundChanged();
    void hapticsChanged();
    void revealInFinderChanged();
    void terminalAppChanged();
    void enabledChanged();
    void onboardedChanged();

  private:
    Settings();
    struct Values
    {
        ModifierKey convertKey = ModifierKey::shift;
        ModifierKey toolsKey = ModifierKey::option;
        ModifierKey actionsKey = ModifierKey::control;
        SaveLocation saveLocation = SaveLocation::besideOriginal;
        QString outputFolder;
        double imageQuality = 0.88;
        double pdfDPI = 300;
        bool highlightSound = true;
        bool haptics = true;
        bool revealInFinder = false;
        TerminalApp terminalApp = TerminalApp::terminal;
        bool enabled = true;
        bool onboarded = false;
    };
    // Stores `value` under `key` and emits `changed` when the field differs.
    template <typename T>
    void change(T Values::*field, const T& value, const char* key, const QVariant& stored,
                void (Settings::*changed)());

    mutable QMutex m_lock;
    Values m_v;
};
