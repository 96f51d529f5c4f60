#pragma once

#include "toolkit/framedview.h"

#include <QList>

class QWidget;
class SettingRow;
class Segmented;
class OrangeSwitch;
class SecondaryButton;
class SliderRow;
class QLabel;

// Every preference in six cards (keys, saving, quality, feedback, general, engines), the number
// of conversions and "Done", which closes the window. Controls write straight through to
// Settings and follow its changes; nothing is kept until "Done".
class SettingsView : public FramedView
{
    Q_OBJECT
  public:
    explicit SettingsView(QWidget* parent = nullptr);

    // One row of the engines card.
    struct Engine
    {
        QString name;
        QString detail;
        bool ok;
        QString fix; // the command that installs it, shown when it is missing
    };
    // The programs conversions rely on, as found now.
    static QList<Engine> engines();
    // The three keys' warning: shown while two wheels share a key.
    bool keysClash() const;

  protected:
    void apply() override;

  private:
    QWidget* keysCard();
    QWidget* savingCard();
    QWidget* qualityCard();
    QWidget* feedbackCard();
    QWidget* generalCard();
    QWidget* enginesCard();
    void showKeys();
    void showSaving();
    void showHudPosition(bool moved);
    void setLaunchAtLogin(bool on);
    void chooseFolder();

    QList<Segmented*> m_keys;
    QWidget* m_keysWarning = nullptr;
    Segmented* m_location = nullptr;
    QWidget* m_folderRow = nullptr;
    QLabel* m_folderPath = nullptr;
    SettingRow* m_hudRow = nullptr;
    SecondaryButton* m_hudReset = nullptr;
    SettingRow* m_loginRow = nullptr;
    OrangeSwitch* m_login = nullptr;
    SettingRow* m_enabledRow = nullptr;
};
