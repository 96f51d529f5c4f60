#include "tools/file/compress/compressview.h"

#include "core/converterror.h"
#include "core/fmt.h"
#include "engines/heavyengines.h"
#include "toolkit/checkbox.h"
#include "toolkit/previewrunner.h"
#include "toolkit/segmented.h"
#include "toolkit/sliderrow.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/viewsource.h"

#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QUuid>

// Settles when the first estimate has come, so that a rendering of the window shows it.
class EstimateSource : public ViewSource
{
  public:
    using ViewSource::ViewSource;
    bool isSettled() const override { return m_settled; }
    void settle()
    {
        if (m_settled) return;
        m_settled = true;
        emit settled();
    }

  private:
    bool m_settled = false;
};

namespace {

const QList<int> sides{0, 3840, 2560, 1920, 1280};
const QList<int> heights{0, 1080, 720, 480};
const QList<int> bitrates{64, 96, 128, 192};

QStringList levelTitles()
{
    return {rawValue(CompressLevel::high), rawValue(CompressLevel::balanced), rawValue(CompressLevel::small)};
}

QString pdfNote(CompressLevel level)
{
    return level == CompressLevel::small
               ? QStringLiteral(
                     "Smallest turns each page into an image, so text can’t be selected afterwards.")
               : QStringLiteral("Images inside the PDF are recompressed; text and vectors stay sharp.");
}

TextLabel* noteText(const QString& text)
{
    auto* label = new TextLabel(text, 11.5, QFont::Normal, Theme::inkSoft());
    label->setWordWrap(true);
    return label;
}

} // namespace

CompressView::CompressView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(context, CompressWork::title(CompressWork::kind(context->urls().value(0))), parent),
      m_kind(CompressWork::kind(this->context().urls().value(0)))
{
    for (const QString& file : this->context().urls())
        m_total += Fmt::fileSize(file);
    column()->setSpacing(16);
    column()->addWidget(header());
    buildControls(column());
    column()->addStretch(1);
    column()->addWidget(
        noteText(QStringLiteral("The originals are kept. Compressed copies are saved next to them.")));
    footer()->addStretch(1);
    primary(QStringLiteral("Compress"));
    if (m_kind == CompressWork::Kind::image) {
        m_estimates = new PreviewRunner(this);
        m_firstEstimate = new EstimateSource(this);
        addSource(m_firstEstimate);
        estimateImage();
    }
}

CompressView::~CompressView()
{
    if (m_stop) m_stop->store(true); // the window is gone: its estimate stops at the next trial
}

QWidget* CompressView::header()
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    const QStringList& files = context().urls();
    auto* icon = new QLabel;
    icon->setPixmap(QFileIconProvider().icon(QFileInfo(files.value(0))).pixmap(40, 40));
    icon->setFixedSize(40, 40);
    row->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    const QString name =
        files.size() == 1 ? QFileInfo(files[0]).fileName() : QStringLiteral("%1 files").arg(files.size());
    texts->addWidget(new TextLabel(name, 13, QFont::DemiBold, Theme::ink()));
    m_size = new TextLabel({}, 12, QFont::Normal, Theme::inkSoft());
    texts->addWidget(m_size);
    row->addLayout(texts, 1);
    showSize();
    return owner;
}

QWidget* CompressView::labelled(const QString& label, QWidget* control)
{
    auto* owner = new QWidget;
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new TextLabel(label, 13, QFont::Normal, Theme::ink()));
    row->addStretch(1);
    row->addWidget(control);
    return owner;
}

void CompressView::buildControls(QVBoxLayout* layout)
{
    using CompressWork::Kind;
    if (m_kind == Kind::image) {
        buildImageControls(layout);
        return;
    }
    if (m_kind == Kind::audio) {
        QStringList labels;
        for (int rate : bitrates)
            labels << QStringLiteral("%1 kbps").arg(rate);
        auto* bitrate = new Segmented(labels);
        bitrate->setSelected(int(bitrates.indexOf(m_choices.bitrate)));
        connect(bitrate, &Segmented::edited, this, [this, bitrate](int i) {
            m_choices.bitrate = bitrates.value(i, 128);
            bitrate->setSelected(i);
        });
        layout->addWidget(labelled(QStringLiteral("Bitrate"), bitrate));
        layout->addWidget(noteText(QStringLiteral(
            "WAV and AIFF are saved as lossless FLAC; FLAC is recompressed at its strongest setting.")));
        return;
    }
    m_level = new Segmented(levelTitles());
    m_level->setSelected(int(m_choices.level));
    connect(m_level, &Segmented::edited, this, [this](int i) { setLevel(CompressLevel(i)); });
    layout->addWidget(m_level);
    if (m_kind == Kind::video) {
        QStringList labels;
        for (int h : heights)
            labels << (h == 0 ? QStringLiteral("Original") : QStringLiteral("%1p").arg(h));
        auto* resolution = new Segmented(labels);
        resolution->setSelected(0);
        connect(resolution, &Segmented::edited, this, [this, resolution](int i) {
            m_choices.maxHeight = heights.value(i);
            resolution->setSelected(i);
        });
        layout->addWidget(labelled(QStringLiteral("Resolution"), resolution));
        auto* hevc = new Checkbox(QStringLiteral("Use HEVC (smaller files, newer devices)"));
        connect(hevc, &Checkbox::toggled, this, [this](bool on) { m_choices.hevc = on; });
        layout->addWidget(hevc);
    } else {
        m_note = noteText(pdfNote(m_choices.level));
        layout->addWidget(m_note);
    }
}

void CompressView::buildImageControls(QVBoxLayout* layout)
{
    auto* mode = new Segmented({rawValue(ImageCompressMode::quality), rawValue(ImageCompressMode::percent),
                                rawValue(ImageCompressMode::target)});
    mode->setSelected(int(m_choices.image.mode));
    connect(mode, &Segmented::edited, this, [this, mode](int i) {
        ImageCompressSettings s = m_choices.image;
        s.mode = ImageCompressMode(i);
        mode->setSelected(i);
        setImageSettings(s);
    });
    layout->addWidget(mode);

    m_level = new Segmented(levelTitles());
    m_level->setSelected(int(m_choices.image.level));
    connect(m_level, &Segmented::edited, this, [this](int i) {
        ImageCompressSettings s = m_choices.image;
        s.level = CompressLevel(i);
        setImageSettings(s);
    });
    layout->addWidget(m_level);
    m_percent = new SliderRow({.label = QStringLiteral("Reduce by"),
                               .lo = 10,
                               .hi = 90,
                               .step = 5,
                               .format = CompressWork::percentText});
    m_percent->setValue(m_choices.image.percent);
    connect(m_percent, &SliderRow::edited, this, [this](double v) {
        ImageCompressSettings s = m_choices.image;
        s.percent = v;
        setImageSettings(s);
    });
    layout->addWidget(m_percent);
    m_target = new SliderRow({.label = QStringLiteral("Target size"),
                              .lo = 50,
                              .hi = 5000,
                              .step = 50,
                              .format = CompressWork::targetText});
    m_target->setValue(m_choices.image.targetKB);
    connect(m_target, &SliderRow::edited, this, [this](double v) {
        ImageCompressSettings s = m_choices.image;
        s.targetKB = v;
        setImageSettings(s);
    });
    layout->addWidget(m_target);

    QStringList labels;
    for (int side : sides)
        labels << (side == 0 ? QStringLiteral("Original") : QString::number(side));
    auto* resize = new Segmented(labels);
    resize->setSelected(0);
    connect(resize, &Segmented::edited, this, [this, resize](int i) {
        ImageCompressSettings s = m_choices.image;
        s.maxSide = sides.value(i);
        resize->setSelected(i);
        setImageSettings(s);
    });
    layout->addWidget(labelled(QStringLiteral("Resize"), resize));
    showImageMode();
}

void CompressView::showImageMode()
{
    m_level->setVisible(m_choices.image.mode == ImageCompressMode::quality);
    m_percent->setVisible(m_choices.image.mode == ImageCompressMode::percent);
    m_target->setVisible(m_choices.image.mode == ImageCompressMode::target);
}

void CompressView::setImageSettings(const ImageCompressSettings& settings)
{
    if (m_kind != CompressWork::Kind::image || settings == m_choices.image) return;
    m_choices.image = settings;
    m_level->setSelected(int(settings.level));
    m_percent->setValue(settings.percent);
    m_target->setValue(settings.targetKB);
    showImageMode();
    estimateImage();
}

void CompressView::setLevel(CompressLevel level)
{
    if (m_kind == CompressWork::Kind::image) {
        ImageCompressSettings s = m_choices.image;
        s.level = level;
        setImageSettings(s);
        return;
    }
    m_choices.level = level;
    if (m_level) m_level->setSelected(int(level));
    if (m_note) m_note->setText(pdfNote(level));
}

void CompressView::estimateImage()
{
    if (m_stop) m_stop->store(true);
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stop = stop;
    ++m_started;
    m_estimate = QStringLiteral("…");
    showSize();
    const QString file = context().urls().value(0);
    const ImageCompressSettings settings = m_choices.image;
    const std::function<std::optional<qint64>()> render = [file, settings, stop,
                                                           stopped = m_stopped]() -> std::optional<qint64> {
        const QString temporary = QDir::temp().filePath(
            QStringLiteral("tolvane-est-%1.%2")
                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces), QFileInfo(file).suffix()));
        std::optional<qint64> size;
        try {
            Modules::entries<HeavyEngines>().compressImage(file, settings, temporary,
                                                           [stop] { return stop->load(); });
            size = Fmt::fileSize(temporary);
        } catch (const ConvertError& e) {
            if (e.isCancelled()) ++*stopped;
        } catch (...) {
        }
        QFile::remove(temporary);
        return size;
    };
    m_estimates->request<std::optional<qint64>>(render, [this](std::optional<qint64> size) {
        const int files = int(context().urls().size());
        m_estimate = size && *size >= 1 ? std::optional(CompressWork::estimateText(
                                              *size, Fmt::fileSize(context().urls().value(0)), files))
                                        : std::nullopt;
        showSize();
        m_firstEstimate->settle();
    });
}

void CompressView::showSize()
{
    if (!m_size) return;
    QString text = Fmt::byteCount(m_total);
    if (m_estimate) text += QStringLiteral("  →  ") + *m_estimate;
    m_size->setText(text);
}

void CompressView::apply()
{
    const CompressWork::Kind kind = m_kind;
    const CompressWork::Choices choices = m_choices;
    context().run(QStringLiteral("Compressing"), std::nullopt,
                  [kind, choices](const QString& file, Job& job, const Progress& progress) {
                      return CompressWork::compressFile(file, kind, choices, job, progress);
                  });
}
