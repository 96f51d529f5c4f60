#pragma once

#include <QRectF>
#include <QWidget>
#include <optional>

class PageList;
class PageThumbs;

// The tiles of the Organize PDF window in rows of as many columns as fit, each the page's
// picture turned by its tile's rotation with its position below. A click selects (Ctrl-click
// adds or removes); dragging a tile over another moves it there while the drag goes on. The
// grid is as tall as its rows; it paints only the tiles in view. Main thread.
class PageGrid : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double minColumn = 120;
    static constexpr double spacing = 14;
    static constexpr double padding = 6;
    static constexpr QSizeF frame{104, 132};
    static constexpr double labelGap = 5;
    static constexpr double labelHeight = 15;

    PageGrid(const PageList& list, const PageThumbs& thumbs, QWidget* parent = nullptr);

    int columns() const;
    // The picture frame of the tile at `index` (0-based position), in the grid's coordinates.
    QRectF frameRect(int index) const;
    // The tile whose frame or label is under `point`; none between tiles.
    std::optional<int> tileAt(QPointF point) const;
    // The id of the tile being dragged.
    std::optional<quint64> dragging() const { return m_dragging; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

  signals:
    void tapped(quint64 id, bool toggle);
    void dragEntered(quint64 dragged, quint64 target);
    // A drag went on at `point`: the scroll area brings what lies around it into view.
    void dragMoved(QPoint point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int columnsFor(double width) const;
    void fitHeight();

    const PageList& m_list;
    const PageThumbs& m_thumbs;
    std::optional<quint64> m_pressed;
    QPointF m_pressedAt;
    std::optional<quint64> m_dragging;
};
