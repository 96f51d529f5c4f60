#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>
#include <memory>

class ShelfPanel;

// The float shelf: files parked for later, shown in a small floating panel from which they are
// dragged out one by one or all at once. Holds references only (nothing is copied or moved) and
// lives as long as the application. Main thread.
class FloatShelf : public QObject
{
    Q_OBJECT
  public:
    enum class Edge { left, right, free };

    static constexpr int width = 232;
    static constexpr int margin = 8; // kept free at the screen's edges

    explicit FloatShelf(QObject* parent = nullptr);
    ~FloatShelf() override;
    // The application's shelf, made on first use.
    static FloatShelf& shared();

    QStringList items() const { return m_items; }
    Edge edge() const { return m_edge; }
    ShelfPanel* panel() const { return m_panel.get(); }

    // Adds the files not there yet, at the end in order, and brings the panel to the front (made
    // on first use). An empty list just shows the panel.
    void show(const QStringList& adding);
    // Takes the file off; the panel goes when the shelf is empty.
    void remove(const QString& item);
    // Empties the shelf and hides the panel; the files themselves are untouched.
    void close();
    // Pins the panel to a screen edge, or frees it; pinning to the pinned edge again frees it
    // without moving the panel.
    void togglePin(Edge edge);

    // The panel's height for `count` files: 146 for none or one, 58 more per file, at most 560.
    static int height(int count);
    // Where the panel goes for `count` files: its top edge kept (but `margin` inside `available`),
    // x at the pinned edge or unchanged when free.
    static QRect frame(int count, Edge edge, const QRect& current, const QRect& available);

  signals:
    void itemsChanged();
    void edgeChanged();

  private:
    void makePanel();
    void resize();

    QStringList m_items;
    Edge m_edge = Edge::free;
    std::unique_ptr<ShelfPanel> m_panel;
};
