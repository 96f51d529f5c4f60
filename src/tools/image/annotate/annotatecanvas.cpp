#include "tools/image/annotate/annotatecanvas.h"

#include "toolkit/imagegeometry.h"
#include "toolkit/imagesource.h"
#include "toolkit/loadingview.h"
#include "tools/image/annotate/annotatemodel.h"
#include "tools/image/annotate/markrenderer.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

AnnotateCanvas::AnnotateCanvas(const ImageSource& source, AnnotateModel& model, QWidget* parent)
    : QWidget(parent), m_source(source), m_model(model), m_loading(new LoadingView(this)),
      m_field(new QLineEdit(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setFocusPolicy(Qt::ClickFocus);
    m_field->setPlaceholderText(QStringLiteral("Type, then press Return"));
    m_field->setFixedWidth(fieldWidth);
    m_field->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: #2b211c; border: 1px solid "
                                          "rgba(0, 0, 0, 60); border-radius: 6px; padding: 3px 6px; }"));
    m_field->hide();
    m_field->installEventFilter(this);
    connect(m_field, &QLineEdit::textEdited, &m_model, &AnnotateModel::setTextValue);
    connect(&m_model, &AnnotateModel::marksChanged, this, qOverload<>(&QWidget::update));
    connect(&m_model, &AnnotateModel::textChanged, this, &AnnotateCanvas::showField);
    connect(&source, &ImageSource::previewChanged, this, &AnnotateCanvas::arrange);
    connect(&source, &ImageSource::errorChanged, this, [this] {
        m_loading->setError(m_source.error());
        arrange();
    });
    arrange();
}

QRectF AnnotateCanvas::pictureRect() const
{
    const QImage& preview = m_source.preview();
    if (preview.isNull()) return {};
    return fittedRect(QSizeF(preview.size()), QSizeF(size()), padding);
}

QPointF AnnotateCanvas::fieldCorner(QPointF at, QSizeF picture)
{
    return QPointF(std::min(at.x() * picture.width(), picture.width() - fieldWidth),
                   at.y() * picture.height());
}

QPointF AnnotateCanvas::unit(QPointF position) const
{
    const QRectF picture = pictureRect();
    return QPointF((position.x() - picture.x()) / picture.width(),
                   (position.y() - picture.y()) / picture.height());
}

void AnnotateCanvas::arrange()
{
    const bool shown = !m_source.preview().isNull();
    m_loading->setVisible(!shown);
    if (shown) {
        m_shown.fit(m_source.preview(), pictureRect().size(), devicePixelRatioF());
    } else {
        m_loading->setGeometry(rect());
    }
    showField();
    update();
}

void AnnotateCanvas::showField()
{
    const std::optional<QPointF> at = m_model.editingText();
    const QRectF picture = pictureRect();
    if (!at || picture.isEmpty()) {
        if (m_field->hasFocus()) setFocus();
        m_field->hide();
        return;
    }
    m_field->move((picture.topLeft() + fieldCorner(*at, picture.size())).toPoint());
    if (m_field->text() != m_model.textValue()) m_field->setText(m_model.textValue());
    m_field->show();
    m_field->raise();
    m_field->setFocus();
}

void AnnotateCanvas::paintEvent(QPaintEvent*)
{
    const QRectF picture = pictureRect();
    if (picture.isEmpty()) return;
    QPainter painter(this);
    painter.drawImage(picture.topLeft(), m_shown.image());
    painter.translate(picture.topLeft());
    painter.setClipRect(QRectF(QPointF(), picture.size()));
    MarkRenderer::draw(painter, m_model.shown(), picture.size());
}

void AnnotateCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange();
}

// Every press makes at least one change and then one end, so a click is a mark too.
void AnnotateCanvas::mousePressEvent(QMouseEvent* event)
{
    const QRectF picture = pictureRect();
    if (event->button() != Qt::LeftButton || !picture.contains(event->position())) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_start = m_last = unit(event->position());
    m_model.dragChanged(m_start, m_last);
}

void AnnotateCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) return;
    m_last = unit(event->position());
    m_model.dragChanged(m_start, m_last);
}

void AnnotateCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) return;
    m_dragging = false;
    const QPointF end = unit(event->position());
    if (end != m_last) m_model.dragChanged(m_start, end);
    m_model.dragEnded(end);
}

// Return and Escape stay with the field: Return makes the mark and Escape drops it, and neither
// reaches the window, where they would save or close it.
bool AnnotateCanvas::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            m_model.setTextValue(m_field->text());
            m_model.commitText();
            return true;
        case Qt::Key_Escape:
            m_model.cancelText();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
