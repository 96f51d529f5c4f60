#pragma once

#include "toolkit/fittedimage.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QWidget>

class AnnotateModel;
class ImageSource;
class LoadingView;
class QLineEdit;

// The annotate window's picture: the preview fitted into the area with the marks drawn live over
// it, the drag and click gestures that make marks, and the text field of a text mark being typed;
// or the spinner, or the reason the picture could not be read.
class AnnotateCanvas : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 6;
    static constexpr int fieldWidth = 220;

    AnnotateCanvas(const ImageSource& source, AnnotateModel& model, QWidget* parent = nullptr);

    // Where the preview is drawn; empty while there is none.
    QRectF pictureRect() const;
    QLineEdit* textField() const { return m_field; }
    LoadingView* loading() const { return m_loading; }
    // The text field's top-left corner for a field anchored at unit point `at` over a picture of
    // `picture` points: under the point, moved left so that it ends at the picture's right edge.
    static QPointF fieldCorner(QPointF at, QSizeF picture);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void arrange();
    void showField();
    QPointF unit(QPointF position) const;

    const ImageSource& m_source;
    AnnotateModel& m_model;
    // The preview scaled to where it is drawn, made again only when that changes.
    FittedImage m_shown;
    LoadingView* m_loading;
    QLineEdit* m_field;
    bool m_dragging = false;
    QPointF m_start;
    QPointF m_last;
};
