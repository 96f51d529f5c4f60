#pragma once

#include <QLayout>
#include <QList>

// Items left to right, `spacing` points apart, wrapping to a new line (with the same spacing
// between lines) where the next item would pass the right edge; each item is centred in the
// height of its line. Its height follows its width.
class FlowLayout : public QLayout
{
  public:
    explicit FlowLayout(QWidget* owner, int spacing);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

  private:
    // Lays the items out within `rect` (moving them only when `apply`) and returns the height used.
    int place(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
};
