#include "tools/image/annotate/annotatemodel.h"

#include <algorithm>

namespace {

QPointF clamped(QPointF p)
{
    return QPointF(std::clamp(p.x(), 0.0, 1.0), std::clamp(p.y(), 0.0, 1.0));
}

bool isBlank(const QString& text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace

QList<Mark> AnnotateModel::shown() const
{
    QList<Mark> all = m_marks;
    if (m_draft) all << *m_draft;
    return all;
}

void AnnotateModel::setKind(Mark::Kind kind)
{
    const bool fieldOpen = m_editingText.has_value();
    m_editingText.reset();
    if (fieldOpen) emit textChanged();
    if (kind == m_kind) return;
    m_kind = kind;
    emit toolChanged();
}

void AnnotateModel::setColor(const QColor& color)
{
    if (color == m_color) return;
    m_color = color;
    emit toolChanged();
}

void AnnotateModel::setWeight(double weight)
{
    if (weight == m_weight) return;
    m_weight = weight;
    emit toolChanged();
}

Mark AnnotateModel::make(Mark::Kind kind, const QList<QPointF>& points) const
{
    return Mark{QUuid::createUuid(), kind, points, m_color, m_weight, QString(), 0};
}

void AnnotateModel::add(const Mark& mark)
{
    m_marks << mark;
    m_redo.clear();
}

void AnnotateModel::dragChanged(QPointF start, QPointF location)
{
    if (m_kind == Mark::Kind::text || m_kind == Mark::Kind::number) return;
    const QPointF p = clamped(location);
    if (!m_draft)
        m_draft = make(m_kind, {start, p});
    else if (m_kind == Mark::Kind::pen || m_kind == Mark::Kind::highlight)
        m_draft->points << p;
    else
        m_draft->points.last() = p;
    emit marksChanged();
}

void AnnotateModel::dragEnded(QPointF location)
{
    switch (m_kind) {
    case Mark::Kind::number: {
        Mark badge = make(Mark::Kind::number, {location});
        badge.number = nextNumber();
        add(badge);
        break;
    }
    case Mark::Kind::text:
        commitText();
        m_editingText = location;
        m_textValue.clear();
        emit textChanged();
        return;
    default:
        if (m_draft && m_draft->points.size() >= 2) add(*m_draft);
        m_draft.reset();
        break;
    }
    emit marksChanged();
}

void AnnotateModel::setTextValue(const QString& text)
{
    if (text == m_textValue) return;
    m_textValue = text;
    emit textChanged();
}

void AnnotateModel::commitText()
{
    if (!m_editingText) return;
    if (!isBlank(m_textValue)) {
        Mark label = make(Mark::Kind::text, {*m_editingText});
        label.text = m_textValue;
        add(label);
        emit marksChanged();
    }
    cancelText();
}

void AnnotateModel::cancelText()
{
    if (!m_editingText && m_textValue.isEmpty()) return;
    m_editingText.reset();
    m_textValue.clear();
    emit textChanged();
}

void AnnotateModel::undo()
{
    if (m_marks.isEmpty()) return;
    m_redo << m_marks.takeLast();
    emit marksChanged();
}

void AnnotateModel::redo()
{
    if (m_redo.isEmpty()) return;
    m_marks << m_redo.takeLast();
    emit marksChanged();
}

void AnnotateModel::clear()
{
    if (m_marks.isEmpty() && m_redo.isEmpty()) return;
    m_marks.clear();
    m_redo.clear();
    emit marksChanged();
}

bool AnnotateModel::canSave() const
{
    return !m_marks.isEmpty() || (m_editingText && !isBlank(m_textValue));
}

qint64 AnnotateModel::nextNumber() const
{
    qint64 highest = 0;
    for (const Mark& mark : m_marks) {
        if (mark.kind == Mark::Kind::number) highest = std::max(highest, mark.number);
    }
    return highest + 1;
}
