#include "tools/image/annotate/annotateview.h"

#include "core/progress.h"
#include "toolkit/imagesource.h"
#include "toolkit/layouts.h"
#include "toolkit/primarybutton.h"
#include "toolkit/secondarybutton.h"
#include "toolkit/segmented.h"
#include "toolkit/stage.h"
#include "tools/image/annotate/annotatecanvas.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/annotate/annotatemodel.h"
#include "tools/image/annotate/kindbutton.h"
#include "tools/image/annotate/palettebutton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// The kinds' row sits on a faint rounded tile of its own.
class KindGroup : public QWidget
{
  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(0.55f, 0.30f, 0.20f, 0.12f));
        painter.drawRoundedRect(QRectF(rect()), 9, 9);
    }
};

} // namespace

const QList<double>& AnnotateView::weights()
{
    static const QList<double> all = {0.003, 0.006, 0.012};
    return all;
}

const QList<QColor>& AnnotateView::palette()
{
    static const QList<QColor> all = {QColor(255, 59, 48), QColor(255, 138, 0),  QColor(255, 214, 10),
                                      QColor(52, 199, 89), QColor(10, 132, 255), QColor(191, 90, 242),
                                      QColor(Qt::black),   QColor(Qt::white)};
    return all;
}

AnnotateView::AnnotateView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent),
      m_source(new ImageSource(this->context().urls().value(0), previewSize, this)),
      m_model(new AnnotateModel(this)), m_canvas(new AnnotateCanvas(*m_source, *m_model)),
      m_undo(new SecondaryButton(QStringLiteral("Undo"), QStringLiteral("arrow.uturn.backward"))),
      m_redo(new SecondaryButton(QStringLiteral("Redo"), QStringLiteral("arrow.uturn.forward"))),
      m_clear(new SecondaryButton(QStringLiteral("Clear")))
{
    addSource(m_source);
    column()->setSpacing(12);
    column()->addWidget(toolbar());
    column()->addWidget(new Stage(false, m_canvas), 1);
    footer()->addWidget(m_undo);
    footer()->addWidget(m_redo);
    footer()->addWidget(m_clear);
    primary(QStringLiteral("Save Annotated Copy"));

    connect(m_undo, &SecondaryButton::clicked, m_model, &AnnotateModel::undo);
    connect(m_redo, &SecondaryButton::clicked, m_model, &AnnotateModel::redo);
    connect(m_clear, &SecondaryButton::clicked, m_model, &AnnotateModel::clear);
    connect(m_model, &AnnotateModel::toolChanged, this, &AnnotateView::showTool);
    connect(m_model, &AnnotateModel::marksChanged, this, &AnnotateView::showMarks);
    connect(m_model, &AnnotateModel::textChanged, this, &AnnotateView::showMarks);
    connect(this, &FramedView::settled, this, &AnnotateView::showMarks);
    showTool();
    showMarks();
}

QWidget* AnnotateView::toolbar()
{
    auto* owner = new QWidget;
    QHBoxLayout* layout = Layouts::row(owner, 10);
    layout->addWidget(kindGroup());
    layout->addStretch(1);
    auto* colors = new QWidget;
    QHBoxLayout* dots = Layouts::row(colors, 5);
    for (const QColor& color : palette()) {
        auto* button = new PaletteButton(color);
        connect(button, &PaletteButton::clicked, m_model, [this, color] { m_model->setColor(color); });
        dots->addWidget(button);
        m_colors << button;
    }
    layout->addWidget(colors);
    m_weight = new Segmented({QStringLiteral("S"), QStringLiteral("M"), QStringLiteral("L")});
    connect(m_weight, &Segmented::edited, m_model, [this](int i) { m_model->setWeight(weights().value(i)); });
    layout->addWidget(m_weight);
    return owner;
}

QWidget* AnnotateView::kindGroup()
{
    auto* group = new KindGroup;
    QHBoxLayout* layout = Layouts::row(group, 2);
    layout->setContentsMargins(2, 2, 2, 2);
    for (Mark::Kind kind : allMarkKinds()) {
        auto* button = new KindButton(kind);
        connect(button, &KindButton::clicked, m_model, [this, kind] { m_model->setKind(kind); });
        layout->addWidget(button);
        m_kinds << button;
    }
    return group;
}

void AnnotateView::showTool()
{
    for (KindButton* button : m_kinds)
        button->setCurrent(button->kind() == m_model->kind());
    for (PaletteButton* button : m_colors)
        button->setCurrent(button->color() == m_model->color());
    // A weight between the offered ones shows as the one whose label it falls under.
    const double w = m_model->weight();
    m_weight->setSelected(w < 0.005 ? 0 : w < 0.01 ? 1 : 2);
}

void AnnotateView::showMarks()
{
    m_undo->setEnabled(!m_model->marks().isEmpty());
    m_redo->setEnabled(!m_model->undone().isEmpty());
    m_clear->setEnabled(!m_model->marks().isEmpty());
    if (PrimaryButton* save = primaryButton())
        save->setEnabled(isSettled() && !hasFailedSource() && m_model->canSave());
}

// Text still in the open field is part of what is saved.
void AnnotateView::apply()
{
    m_model->commitText();
    const QList<Mark> marks = m_model->marks();
    if (marks.isEmpty()) return;
    context().run(QStringLiteral("Annotating photo"), std::nullopt,
                  [marks](const QString& file, Job& job, const Progress& progress) {
                      return AnnotateImage::annotateFile(file, marks, job, progress);
                  });
}
