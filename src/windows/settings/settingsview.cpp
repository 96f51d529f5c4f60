#include "windows/settings/settingsview.h"

#include "core/catalog.h"
#include "core/hudorigin.h"
#include "core/libreoffice/iwork.h"
#include "core/modifierkey.h"
#include "core/settings.h"
#include "core/shell.h"
#include "platform/autostart.h"
#include "toolkit/card.h"
#include "toolkit/orangeswitch.h"
#include "toolkit/screens.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/settingrow.h"
#include "toolkit/sliderrow.h"
#include "toolkit/symbolicon.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QSet>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

namespace {

const QList<double> dpiChoices{150, 200, 300, 600};

// A switch that shows a setting, read by `get`, at all times: it writes the setting with `set`
// when the user flips it, and follows `changed` when something else does.
OrangeSwitch* boundSwitch(bool (Settings::*get)() const, void (Settings::*set)(bool),
                          void (Settings::*changed)())
{
    Settings& s = Settings::shared();
    auto* toggle = new OrangeSwitch;
    toggle->setChecked((s.*get)());
    QObject::connect(toggle, &QAbstractButton::toggled, toggle, [&s, set](bool on) { (s.*set)(on); });
    QObject::connect(&s, changed, toggle, [&s, get, toggle] {
        const QSignalBlocker quiet(toggle);
        toggle->setChecked((s.*get)());
    });
    return toggle;
}

// The path with the home folder written as a tilde.
QString homeAbbreviated(const QString& path)
{
    const QString home = QDir::homePath();
    if (path == home) return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/'))) return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QWidget* engineRow(const SettingsView::Engine& engine)
{
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    line->addWidget(engine.ok
                        ? new SymbolIcon(QStringLiteral("checkmark.circle.fill"), 15, Theme::orange())
                        : new SymbolIcon(QStringLiteral("xmark.circle"), 15,
                                         QColor::fromRgbF(Theme::inkSoft().redF(), Theme::inkSoft().greenF(),
                                                          Theme::inkSoft().blueF(), 0.6f)));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(new TextLabel(engine.name, 13, QFont::Medium, Theme::ink()));
    texts->addWidget(new TextLabel(engine.detail, 11.5, QFont::Normal, Theme::inkSoft()));
    line->addLayout(texts);
    line->addStretch(1);
    if (!engine.ok) {
        auto* fix = new TextLabel(engine.fix, 11, QFont::Normal, Theme::inkSoft());
        fix->setTextInteractionFlags(Qt::TextSelectableByMouse);
        fix->setObjectName(QStringLiteral("fix"));
        line->addWidget(fix);
    }
    return row;
}

} // namespace

SettingsView::SettingsView(QWidget* parent) : FramedView(QStringLiteral("Settings"), parent)
{
    auto* cards = new QWidget;
    auto* stack = new QVBoxLayout(cards);
    stack->setContentsMargins(0, 0, 0, 4);
    stack->setSpacing(12);
    for (QWidget* card :
         {keysCard(), savingCard(), qualityCard(), feedbackCard(), generalCard(), enginesCard()})
        stack->addWidget(card);
    stack->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setWidget(cards);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    // A slim indicator over the cards rather than the desktop theme's bar.
    scroll->setStyleSheet(QStringLiteral(
        "QScrollBar:vertical { width: 7px; background: transparent; margin: 2px 0 2px 0; }"
        "QScrollBar::handle:vertical { background: rgba(0, 0, 0, 70); border-radius: 3px; min-height: 30px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }"));
    cards->setAutoFillBackground(false);
    column()->addWidget(scroll, 1);

    footer()->addWidget(new TextLabel(QString::number(Catalog::conversionPathCount()) +
                                          QStringLiteral(" conversions · all on this computer"),
                                      12, QFont::Normal, Theme::inkSoft()));
    footer()->addStretch(1);
    primary(QStringLiteral("Done"));
}

void SettingsView::apply()
{
    if (QWidget* host = window(); host != this) host->close();
}

QList<SettingsView::Engine> SettingsView::engines()
{
    const auto program = [](const char* name) { return Shell::find(QString::fromLatin1(name)).has_value(); };
    return {
        {QStringLiteral("ffmpeg"), QStringLiteral("Audio and video"), program("ffmpeg"),
         QStringLiteral("sudo apt install ffmpeg")},
        {QStringLiteral("cwebp"), QStringLiteral("WebP export"), program("cwebp"),
         QStringLiteral("sudo apt install webp")},
        {QStringLiteral("LibreOffice Writer"), QStringLiteral("Pages documents"),
         IWork::isInstalled(IWork::App::pages), QStringLiteral("sudo apt install libreoffice-writer")},
        {QStringLiteral("LibreOffice Impress"), QStringLiteral("PowerPoint and Keynote slides"),
         IWork::isInstalled(IWork::App::keynote), QStringLiteral("sudo apt install libreoffice-impress")},
        {QStringLiteral("LibreOffice Calc"), QStringLiteral("XLS and Numbers sheets"),
         IWork::isInstalled(IWork::App::numbers), QStringLiteral("sudo apt install libreoffice-calc")},
    };
}

bool SettingsView::keysClash() const
{
    const Settings& s = Settings::shared();
    return QSet<ModifierKey>{s.convertKey(), s.toolsKey(), s.actionsKey()}.size() < 3;
}

QWidget* SettingsView::keysCard()
{
    auto* card = new Card(QStringLiteral("Keys"));
    QStringList labels;
    for (ModifierKey key : allModifierKeys())
        labels << glyph(key) + QLatin1Char(' ') + displayName(key);
    Settings& s = Settings::shared();
    const std::pair<const char*, void (Settings::*)(ModifierKey)> rows[] = {
        {"Convert", &Settings::setConvertKey},
        {"Tools", &Settings::setToolsKey},
        {"Actions", &Settings::setActionsKey}};
    for (const auto& [label, set] : rows) {
        auto* keys = new Segmented(labels);
        connect(keys, &Segmented::edited, this, [set, &s](int i) { (s.*set)(allModifierKeys().value(i)); });
        m_keys << keys;
        card->rows()->addWidget(new SettingRow(QString::fromLatin1(label), keys));
    }
    m_keysWarning = new QWidget;
    auto* warning = new QHBoxLayout(m_keysWarning);
    warning->setContentsMargins(0, 0, 0, 0);
    warning->setSpacing(6);
    warning->addWidget(new SymbolIcon(QStringLiteral("exclamationmark.triangle.fill"), 13, Theme::section()));
    warning->addWidget(
        new TextLabel(QStringLiteral("Each wheel needs its own key."), 12, QFont::Medium, Theme::section()));
    warning->addStretch(1);
    card->rows()->addWidget(m_keysWarning);
    auto* hint =
        new TextLabel(QStringLiteral("Start dragging a file, then tap a key. The wheel stays open until "
                                     "you drop or press Escape."),
                      11.5, QFont::Normal, Theme::inkSoft());
    hint->setWordWrap(true);
    card->rows()->addWidget(hint);
    for (auto changed :
         {&Settings::convertKeyChanged, &Settings::toolsKeyChanged, &Settings::actionsKeyChanged})
        connect(&s, changed, this, &SettingsView::showKeys);
    showKeys();
    return card;
}

void SettingsView::showKeys()
{
    const Settings& s = Settings::shared();
    const ModifierKey chosen[] = {s.convertKey(), s.toolsKey(), s.actionsKey()};
    for (int i = 0; i < m_keys.size(); ++i)
        m_keys[i]->setSelected(int(allModifierKeys().indexOf(chosen[i])));
    m_keysWarning->setVisible(keysClash());
}

QWidget* SettingsView::savingCard()
{
    auto* card = new Card(QStringLiteral("Saving"));
    Settings& s = Settings::shared();
    m_location = new Segmented({QStringLiteral("Next to the original"), QStringLiteral("In a folder")});
    connect(m_location, &Segmented::edited, this,
            [&s](int i) { s.setSaveLocation(i == 1 ? SaveLocation::folder : SaveLocation::besideOriginal); });
    card->rows()->addWidget(new SettingRow(QStringLiteral("Save results"), m_location));

    m_folderRow = new QWidget;
    auto* folder = new QHBoxLayout(m_folderRow);
    folder->setContentsMargins(0, 0, 0, 0);
    folder->setSpacing(8);
    folder->addWidget(new SymbolIcon(QStringLiteral("folder.fill"), 14, Theme::orange()));
    m_folderPath = new TextLabel(QString(), 12, QFont::Normal, Theme::ink());
    m_folderPath->setObjectName(QStringLiteral("folderPath"));
    folder->addWidget(m_folderPath, 1);
    auto* choose = new SecondaryButton(QStringLiteral("Choose…"));
    connect(choose, &QAbstractButton::clicked, this, &SettingsView::chooseFolder);
    folder->addWidget(choose);
    card->rows()->addWidget(m_folderRow);

    card->rows()->addWidget(
        new SettingRow(QStringLiteral("Show results in the file manager"),
                       boundSwitch(&Settings::revealInFinder, &Settings::setRevealInFinder,
                                   &Settings::revealInFinderChanged)));

    m_hudReset = new SecondaryButton(QStringLiteral("Reset Position"));
    connect(m_hudReset, &QAbstractButton::clicked, this, [this] {
        HUDOrigin::clear();
        showHudPosition(false);
    });
    m_hudRow = new SettingRow(QStringLiteral("Progress window"), m_hudReset);
    card->rows()->addWidget(m_hudRow);
    showHudPosition(HUDOrigin::saved(Screens::current()).has_value());

    connect(&s, &Settings::saveLocationChanged, this, &SettingsView::showSaving);
    connect(&s, &Settings::outputFolderChanged, this, &SettingsView::showSaving);
    showSaving();
    return card;
}

void SettingsView::showSaving()
{
    const Settings& s = Settings::shared();
    const bool inFolder = s.saveLocation() == SaveLocation::folder;
    m_location->setSelected(inFolder ? 1 : 0);
    m_folderRow->setVisible(inFolder);
    const QString path = homeAbbreviated(s.outputFolder());
    m_folderPath->setText(m_folderPath->fontMetrics().elidedText(path, Qt::ElideMiddle, 320));
    m_folderPath->setToolTip(path);
}

void SettingsView::showHudPosition(bool moved)
{
    m_hudRow->setNote(
        moved ? QStringLiteral("Opens where you last dragged it.")
              : QStringLiteral("Opens near the cursor. Drag it anywhere and it opens there next time."));
    m_hudReset->setEnabled(moved);
}

void SettingsView::chooseFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Choose a folder for results"), Settings::shared().outputFolder());
    if (!folder.isEmpty()) Settings::shared().setOutputFolder(folder);
}

QWidget* SettingsView::qualityCard()
{
    auto* card = new Card(QStringLiteral("Quality"));
    Settings& s = Settings::shared();
    // Whole percent, read so that 0.88 is 88 and not 87.99….
    auto* quality = new SliderRow(
        {.label = QStringLiteral("Image quality"),
         .lo = 0.5,
         .hi = 1.0,
         .step = 0.01,
         .format = [](double v) { return QString::number(int(std::floor(v * 100 + 1e-6))) + '%'; },
         .labelWidth = 110});
    quality->setValue(s.imageQuality());
    connect(quality, &SliderRow::edited, this, [&s](double v) { s.setImageQuality(v); });
    connect(&s, &Settings::imageQualityChanged, quality,
            [quality, &s] { quality->setValue(s.imageQuality()); });
    card->rows()->addWidget(quality);

    QStringList dpiLabels;
    for (double dpi : dpiChoices)
        dpiLabels << QString::number(int(dpi)) + QStringLiteral(" DPI");
    auto* dpi = new Segmented(dpiLabels);
    const auto showDpi = [dpi, &s] { dpi->setSelected(int(dpiChoices.indexOf(s.pdfDPI()))); };
    showDpi();
    connect(dpi, &Segmented::edited, this, [&s](int i) { s.setPdfDPI(dpiChoices.value(i, 300)); });
    connect(&s, &Settings::pdfDPIChanged, dpi, showDpi);
    card->rows()->addWidget(new SettingRow(QStringLiteral("PDF page images"), dpi));
    return card;
}

QWidget* SettingsView::feedbackCard()
{
    auto* card = new Card(QStringLiteral("Feedback"));
    Settings& s = Settings::shared();
    card->rows()->addWidget(
        new SettingRow(QStringLiteral("Tick sound when a petal lights up"),
                       boundSwitch(&Settings::highlightSound, &Settings::setHighlightSound,
                                   &Settings::highlightSoundChanged)));
    // There is no haptic device here, so its row is left out; the setting stays.
    auto* terminal =
        new Segmented({QStringLiteral("Default terminal"), QStringLiteral("Alternative terminal")});
    terminal->setSelected(s.terminalApp() == TerminalApp::iterm ? 1 : 0);
    connect(terminal, &Segmented::edited, this,
            [&s](int i) { s.setTerminalApp(i == 1 ? TerminalApp::iterm : TerminalApp::terminal); });
    connect(&s, &Settings::terminalAppChanged, terminal,
            [terminal, &s] { terminal->setSelected(s.terminalApp() == TerminalApp::iterm ? 1 : 0); });
    card->rows()->addWidget(new SettingRow(QStringLiteral("Terminal action opens"), terminal));
    return card;
}

QWidget* SettingsView::generalCard()
{
    auto* card = new Card(QStringLiteral("General"));
    Settings& s = Settings::shared();
    m_login = new OrangeSwitch;
    m_login->setChecked(Autostart::isEnabled());
    connect(m_login, &QAbstractButton::toggled, this, &SettingsView::setLaunchAtLogin);
    m_loginRow = new SettingRow(QStringLiteral("Open at login"), m_login);
    card->rows()->addWidget(m_loginRow);

    const auto label = [&s] { return QStringLiteral("Tolvane is ") + (s.enabled() ? "on" : "paused"); };
    m_enabledRow = new SettingRow(
        label(), boundSwitch(&Settings::enabled, &Settings::setEnabled, &Settings::enabledChanged));
    connect(&s, &Settings::enabledChanged, m_enabledRow, [this, label] { m_enabledRow->setLabel(label()); });
    card->rows()->addWidget(m_enabledRow);
    return card;
}

void SettingsView::setLaunchAtLogin(bool on)
{
    const std::optional<QString> error = Autostart::setEnabled(on, QCoreApplication::applicationFilePath());
    m_loginRow->setNote(error.value_or(QString()));
    // The switch shows what is really there, whatever was asked.
    const QSignalBlocker quiet(m_login);
    m_login->setChecked(Autostart::isEnabled());
}

QWidget* SettingsView::enginesCard()
{
    auto* card = new Card(QStringLiteral("Engines"));
    for (const Engine& engine : engines())
        card->rows()->addWidget(engineRow(engine));
    return card;
}
