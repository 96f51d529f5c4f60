#pragma once

#include "toolkit/fittedimage.h"

#include <QImage>
#include <QWidget>
#include <optional>

class LoadingView;
class QScrollArea;
class StageButton;

// The Edit Photo window's picture on its dark stage: fitted inside a margin, or at one image
// pixel per device pixel in a view that scrolls both ways, or, without a picture, the spinner
// or the reason it could not be read. The zoom button (which switches between the two and
// reads "100%" or "Fit") and the compare button lie over it, at its top.
class PhotoStage : public QWidget
{
    Q_OBJECT
  public:
    static constexpr double padding = 12;
    static constexpr int buttonInset = 10;

    explicit PhotoStage(QWidget* parent = nullptr);

    // The picture shown; null for none.
    const QImage& image() const { return m_image; }
    void setImage(const QImage& image);
    void setError(const std::optional<QString>& error);
    bool actualSize() const { return m_actualSize; }
    void setActualSize(bool actualSize);

    StageButton* zoomButton() const { return m_zoom; }
    StageButton* compareButton() const { return m_compare; }
    // Shown in the actual-size mode; its widget is the picture at its size in points.
    QScrollArea* scroller() const { return m_scroller; }
    LoadingView* loading() const { return m_loading; }
    // Where the fitted picture is drawn, in whole points.
    QRect pictureRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void arrange();

    QImage m_image;
    // The picture scaled to where it is fitted, made again when either changes.
    FittedImage m_fitted;
    bool m_actualSize = false;
    LoadingView* m_loading;
    QScrollArea* m_scroller;
    StageButton* m_zoom;
    StageButton* m_compare;
};
