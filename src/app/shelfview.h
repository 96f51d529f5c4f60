#pragma once

#include <QList>
#include <QWidget>

class DragAllHandle;
class FloatShelf;
class QLabel;
class QVBoxLayout;
class ShelfRow;

// The float shelf's content: a header with the close button and the two pins, the parked files
// (or a hint when there are none), and from two files on the strip that drags them all. Files
// dropped on it are parked; the drop is always a copy, so nothing leaves its place.
class ShelfView : public QWidget
{
    Q_OBJECT
  public:
    explicit ShelfView(FloatShelf& shelf, QWidget* parent = nullptr);

    QList<ShelfRow*> rows() const { return m_rows; }
    DragAllHandle* strip() const { return m_strip; }
    bool showsHint() const;
    bool isTargeted() const { return m_targeted; }

  protected:
    // The pins explain themselves in a tooltip.
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void rebuild();
    void setTargeted(bool targeted);
    QRectF headerRect() const;

    FloatShelf& m_shelf;
    QList<ShelfRow*> m_rows;
    QVBoxLayout* m_list;
    QLabel* m_hint;
    QWidget* m_stripDivider;
    DragAllHandle* m_strip;
    bool m_targeted = false;
};
