#include "toolkit/video/transportbar.h"

#include "core/fmt.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "toolkit/video/videomodel.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {

enum class Glyph { back, forward, play, pause };

// A transport button: the orange capsule of play/pause, or the pale step buttons.
class TransportButton : public QAbstractButton
{
  public:
    TransportButton(Glyph glyph, QWidget* parent = nullptr) : QAbstractButton(parent), m_glyph(glyph)
    {
        const bool main = glyph == Glyph::play;
        setFixedSize(main ? 34 : 30, 28);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    void setGlyph(Glyph glyph)
    {
        if (glyph == m_glyph) return;
        m_glyph = glyph;
        update();
    }
    Glyph glyph() const { return m_glyph; }

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        const QRectF box = rect();
        const bool main = m_glyph == Glyph::play || m_glyph == Glyph::pause;
        QColor ink = Theme::ink();
        if (main) {
            QColor fill = Theme::orange();
            fill.setAlphaF(isEnabled() ? 1.0f : 0.35f);
            p.setBrush(fill);
            p.drawRoundedRect(box, box.height() / 2, box.height() / 2);
            ink = Qt::white;
        } else {
            p.setBrush(QColor::fromRgbF(1, 1, 1, 0.35f));
            p.drawRoundedRect(box, 8, 8);
        }
        p.setBrush(ink);
        const QPointF c = box.center();
        const auto triangle = [&](double x0, double x1) {
            p.drawPolygon(QPolygonF({{x0, c.y() - 5}, {x1, c.y()}, {x0, c.y() + 5}}));
        };
        switch (m_glyph) {
        case Glyph::play:
            triangle(c.x() - 3.5, c.x() + 5);
            break;
        case Glyph::pause:
            p.drawRect(QRectF(c.x() - 4.5, c.y() - 5, 3, 10));
            p.drawRect(QRectF(c.x() + 1.5, c.y() - 5, 3, 10));
            break;
        case Glyph::back:
            p.drawRect(QRectF(c.x() - 5.5, c.y() - 5, 2, 10));
            triangle(c.x() + 4.5, c.x() - 3);
            break;
        case Glyph::forward:
            p.drawRect(QRectF(c.x() + 3.5, c.y() - 5, 2, 10));
            triangle(c.x() - 4.5, c.x() + 3);
            break;
        }
    }

  private:
    Glyph m_glyph;
};

} // namespace

TransportBar::TransportBar(VideoModel& model, QWidget* parent)
    : QWidget(parent), m_model(model), m_back(new TransportButton(Glyph::back)),
      m_play(new TransportButton(Glyph::play)), m_forward(new TransportButton(Glyph::forward)),
      m_time(new TextLabel(QString(), 12, QFont::Normal, Theme::ink())),
      m_duration(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft()))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    for (QWidget* w :
         {static_cast<QWidget*>(m_back), static_cast<QWidget*>(m_play), static_cast<QWidget*>(m_forward),
          static_cast<QWidget*>(m_time), static_cast<QWidget*>(m_duration)})
        row->addWidget(w, 0, Qt::AlignVCenter);
    for (QLabel* label : {m_time, m_duration}) {
        QFont f = label->font();
        f.setFamily(QStringLiteral("monospace"));
        f.setStyleHint(QFont::Monospace);
        label->setFont(f);
    }
    connect(m_back, &QAbstractButton::clicked, this, [this] { m_model.step(-1); });
    connect(m_forward, &QAbstractButton::clicked, this, [this] { m_model.step(1); });
    connect(m_play, &QAbstractButton::clicked, this, [this] { m_model.togglePlay(m_range); });
    for (auto signal : {&VideoModel::timeChanged, &VideoModel::durationChanged, &VideoModel::playingChanged,
                        &VideoModel::playerChanged})
        connect(&model, signal, this, &TransportBar::refresh);
    refresh();
}

void TransportBar::refresh()
{
    static_cast<TransportButton*>(m_play)->setGlyph(m_model.isPlaying() ? Glyph::pause : Glyph::play);
    m_play->setEnabled(m_model.hasPlayer());
    m_play->setToolTip(m_model.isPlaying() ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_time->setText(Fmt::time(m_model.time(), true));
    m_duration->setText(QStringLiteral("/ ") + Fmt::time(m_model.duration(), true));
}
