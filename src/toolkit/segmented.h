#pragma once

#include <QList>
#include <QRectF>
#include <QStringList>
#include <QWidget>

// A row of text segments choosing one option, in a soft capsule: the chosen segment is an
// orange capsule with white semibold text, and the thin dividers beside it step aside. Each
// segment is as wide as its text plus 18 points. It shows the choice it is given and reports
// the user's clicks.
class Segmented : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int height = 26;

    explicit Segmented(const QStringList& options = {}, QWidget* parent = nullptr);

    QStringList options() const { return m_options; }
    void setOptions(const QStringList& options);
    int selected() const { return m_selected; }
    void setSelected(int index);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    // Whether the divider before segment `i` shows: never before the first, and not beside the
    // chosen segment.
    static bool dividerVisible(int i, int selected);
    // The segments' rectangles for texts of these widths, left to right, inside the capsule.
    static QList<QRectF> segmentRects(const QList<double>& textWidths);
    // The widths of the options' texts as drawn on `device`, the chosen one in semibold.
    static QList<double> textWidths(const QStringList& options, int selected, const QPaintDevice* device);
    static void paint(QPainter& painter, const QStringList& options, int selected);

  signals:
    void edited(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    QStringList m_options;
    int m_selected = -1;
};
