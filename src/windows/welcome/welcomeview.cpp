#include "windows/welcome/welcomeview.h"

#include "core/output.h"
#include "core/settings.h"
#include "core/wheelitem.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/wheel/wheelmodel.h"
#include "windows/welcome/demowheel.h"
#include "windows/welcome/draggablefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

const QStringList demoFormats{"png", "webp", "heic", "tiff", "avif", "bmp", "pdf", "docx"};

QString sampleName()
{
    return QStringLiteral("Tolvane Sample.png");
}

bool decodes(const QString& path)
{
    return !QImage(path).isNull();
}

TextLabel* wrapped(const QString& text, double pixels, QFont::Weight weight, const QColor& colour)
{
    auto* label = new TextLabel(text, pixels, weight, colour);
    label->setWordWrap(true);
    return label;
}

} // namespace

WelcomeView::WelcomeView(std::function<void()> onDone, const std::optional<QString>& sample, QWidget* parent)
    : FramedView(QStringLiteral("Welcome"), parent), m_onDone(std::move(onDone)), m_demo(new WheelModel(this))
{
    m_demo->setMode(WheelMode::conversions);
    QList<WheelItem> petals;
    for (const QString& format : demoFormats)
        petals << WheelItem::format(format);
    m_demo->setItems(petals);
    m_demo->setHighlighted(0);
    m_demo->setBloom(true);

    auto* right = new QWidget;
    auto* stack = new QVBoxLayout(right);
    stack->setContentsMargins(20, 0, 0, 0);
    stack->setSpacing(8);
    stack->addWidget(new TextLabel(QStringLiteral("Tolvane"), 30, QFont::Bold, Theme::ink()));
    stack->addWidget(wrapped(QStringLiteral("Convert, edit and move files right where you drag them."), 14,
                             QFont::Normal, Theme::inkSoft()));
    auto* steps = new QVBoxLayout;
    steps->setSpacing(6);
    for (int i = 0; i < 3; ++i) {
        StepLabels labels;
        steps->addWidget(stepRow(labels.glyph, labels.title, labels.text));
        m_steps << labels;
    }
    stack->addLayout(steps);
    stack->addWidget(
        wrapped(QStringLiteral("The wheel stays open after you let go of the key. Press Escape to "
                               "cancel. Files never leave your computer."),
                12, QFont::Normal, Theme::inkSoft()));
    if (sample) stack->addWidget(tryItBox(*sample));
    stack->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(0);
    columns->addWidget(new DemoWheel(m_demo));
    columns->addWidget(right, 1);
    column()->addLayout(columns, 1);
    footer()->addStretch(1);
    primary(QStringLiteral("Got It"));

    const Settings& s = Settings::shared();
    for (auto changed :
         {&Settings::convertKeyChanged, &Settings::toolsKeyChanged, &Settings::actionsKeyChanged})
        connect(&s, changed, this, &WelcomeView::showKeys);
    showKeys();
}

QWidget* WelcomeView::stepRow(QLabel*& glyph, QLabel*& title, QLabel*& text)
{
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(12);
    glyph = new TextLabel(QString(), 17, QFont::Medium, Theme::ink());
    glyph->setFixedSize(34, 34);
    glyph->setAlignment(Qt::AlignCenter);
    glyph->setStyleSheet(QStringLiteral("background: white; border-radius: 8px;"));
    auto* shadow = new QGraphicsDropShadowEffect(glyph);
    shadow->setColor(QColor(0, 0, 0, 31));
    shadow->setBlurRadius(3);
    shadow->setOffset(0, 1.5);
    glyph->setGraphicsEffect(shadow);
    line->addWidget(glyph, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title = new TextLabel(QString(), 13, QFont::DemiBold, Theme::ink());
    text = wrapped(QString(), 12, QFont::Normal, Theme::inkSoft());
    texts->addWidget(title);
    texts->addWidget(text);
    line->addLayout(texts, 1);
    return row;
}

QWidget* WelcomeView::tryItBox(const QString& sample)
{
    auto* box = new QFrame;
    box->setObjectName(QStringLiteral("tryIt"));
    box->setStyleSheet(
        QStringLiteral("#tryIt { background: rgba(255, 255, 255, 140); border-radius: 12px; }"));
    auto* line = new QHBoxLayout(box);
    line->setContentsMargins(10, 10, 10, 10);
    line->setSpacing(12);
    line->addWidget(new DraggableFile(sample));
    m_tryIt = wrapped(QString(), 12, QFont::Normal, Theme::ink());
    line->addWidget(m_tryIt, 1);
    return box;
}

void WelcomeView::showKeys()
{
    const Settings& s = Settings::shared();
    const QList<Step> shown = steps(s.convertKey(), s.toolsKey(), s.actionsKey());
    for (qsizetype i = 0; i < m_steps.size(); ++i) {
        m_steps[i].glyph->setText(shown[i].glyph);
        m_steps[i].title->setText(shown[i].title);
        m_steps[i].text->setText(shown[i].text);
    }
    if (m_tryIt) m_tryIt->setText(tryItText(s.convertKey()));
}

void WelcomeView::apply()
{
    if (m_onDone) m_onDone();
}

QList<WelcomeView::Step> WelcomeView::steps(ModifierKey convertKey, ModifierKey toolsKey,
                                            ModifierKey actionsKey)
{
    return {
        {glyph(convertKey), QStringLiteral("Convert"),
         QStringLiteral("Drag a file, tap %1, drop on a format.").arg(displayName(convertKey))},
        {glyph(toolsKey), QStringLiteral("Tools"),
         QStringLiteral("Tap %1 for compress, crop, trim, split, merge…").arg(displayName(toolsKey))},
        {glyph(actionsKey), QStringLiteral("Actions"),
         QStringLiteral("Tap %1 for Send, Float, Copy, Move, Copy Path, Terminal.")
             .arg(displayName(actionsKey))},
    };
}

QString WelcomeView::tryItText(ModifierKey convertKey)
{
    return QStringLiteral(
               "Try it: drag this picture onto your desktop or into a folder, and tap %1 on the way.")
        .arg(displayName(convertKey));
}

std::optional<QString> WelcomeView::makeSample(const std::function<QImage()>& picture)
{
    const QString folder = Settings::dataFolder();
    QDir().mkpath(folder);
    const QString path = folder + QLatin1Char('/') + sampleName();
    if (QFileInfo::exists(path)) {
        if (decodes(path)) return path;
        // A sample that no longer decodes is ours to remake, or it would be offered broken forever.
        if (!QFile::remove(path)) return std::nullopt;
    }
    const QImage image = picture ? picture() : QImage();
    QByteArray png;
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return std::nullopt;
    try {
        const QString written =
            Output::write(path, [&](const QString& temporary) { Output::writeFile(temporary, png); });
        if (written == path) return path;
        // Made by someone else meanwhile: theirs stands and ours goes.
        QFile::remove(written);
        return decodes(path) ? std::optional(path) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}
