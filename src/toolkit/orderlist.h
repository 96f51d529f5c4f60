#pragma once

#include <QHash>
#include <QIcon>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

// A list of files in an order the user arranges by dragging: each row shows its position, the
// file's icon and name, a detail line and a drag handle. Dragging a row over another moves it
// there while the drag goes on; reordering is the only change it makes. It is as tall as its
// rows (put it in a scroll area: scrolled()). Main thread.
class OrderList : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double rowHeight = 44;
    static constexpr double rowGap = 2;

    // `detail` gives a file's second line; it is asked once per file, and again by refreshDetails().
    OrderList(const QStringList& urls, const std::function<QString(const QString&)>& detail,
              QWidget* parent = nullptr);

    const QStringList& urls() const { return m_urls; }
    QString detail(const QString& url) const { return m_details.value(url); }
    // Asks `detail` again for every file, once what it tells has changed.
    void refreshDetails();
    QRectF rowRect(int index) const;
    std::optional<int> rowAt(QPointF point) const;

    // A scroll area on the window's own background holding this list, following its drags.
    QWidget* scrolled();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void urlsChanged(const QStringList& urls);
    // A drag went on at `point`: the scroll area brings what lies around it into view.
    void dragMoved(QPoint point);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QStringList m_urls;
    std::function<QString(const QString&)> m_detail;
    QHash<QString, QString> m_details;
    QHash<QString, QIcon> m_icons;
    std::optional<int> m_dragging;
    QPointF m_pressedAt;
    bool m_moved = false;
};
