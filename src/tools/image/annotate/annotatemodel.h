#pragma once

#include "tools/image/annotate/mark.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QPointF>
#include <optional>

// What the annotate window edits: the marks made so far (a stack, with the undone ones on a
// second stack), the shape or stroke being dragged, the tool (kind, colour, weight) and the one
// open text field. Gestures arrive in unit coordinates of the picture. Main thread.
class AnnotateModel : public QObject
{
    Q_OBJECT
  public:
    explicit AnnotateModel(QObject* parent = nullptr) : QObject(parent) {}

    const QList<Mark>& marks() const { return m_marks; }
    const QList<Mark>& undone() const { return m_redo; }
    const std::optional<Mark>& draft() const { return m_draft; }
    // The marks as drawn: the list, then the draft on top.
    QList<Mark> shown() const;

    Mark::Kind kind() const { return m_kind; }
    // Also drops an open text field and what was typed in it.
    void setKind(Mark::Kind kind);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    double weight() const { return m_weight; }
    void setWeight(double weight);

    // A drag over the picture: its start and its current place. The first call of a drag makes
    // the draft with the start (as it is) and the place clamped to the picture; later ones move
    // its end or, for pen and highlight, add a point. Text and badges wait for the end.
    void dragChanged(QPointF start, QPointF location);
    // The drag's end (a click too): a badge numbered one past the highest one kept, a text field
    // opened there (after committing an open one), or the draft kept when it has two points.
    void dragEnded(QPointF location);

    std::optional<QPointF> editingText() const { return m_editingText; }
    QString textValue() const { return m_textValue; }
    void setTextValue(const QString& text);
    // Turns the open field into a text mark unless only spaces and tabs were typed (the text is
    // kept as typed), and closes it.
    void commitText();
    // Closes the open field without a mark.
    void cancelText();

    void undo();
    void redo();
    void clear();
    // Whether saving would draw something: a mark, or text typed into the open field.
    bool canSave() const;

    // The next badge's figure: one past the highest badge in the list, 1 when there is none.
    qint64 nextNumber() const;

  signals:
    // The list, the undone marks or the draft changed.
    void marksChanged();
    // The kind, colour or weight changed.
    void toolChanged();
    // The text field opened, closed or its text changed.
    void textChanged();

  private:
    Mark make(Mark::Kind kind, const QList<QPointF>& points) const;
    // Pushes a new mark; it empties the undone stack.
    void add(const Mark& mark);

    QList<Mark> m_marks;
    QList<Mark> m_redo;
    std::optional<Mark> m_draft;
    Mark::Kind m_kind = Mark::Kind::arrow;
    QColor m_color = QColor(255, 59, 48);
    double m_weight = 0.006;
    std::optional<QPointF> m_editingText;
    QString m_textValue;
};
