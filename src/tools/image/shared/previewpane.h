#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

class LoadingView;

// A tool's rendered preview, fitted into the pane less a padding on every side; while there is
// none, the spinner, or the reason there is none.
class PreviewPane : public QWidget
{
    Q_OBJECT
  public:
    explicit PreviewPane(double padding, QWidget* parent = nullptr);

    const QImage& image() const { return m_image; }
    // A null image brings the spinner (or the error) back.
    void setImage(const QImage& image);
    void setError(const std::optional<QString>& error);
    LoadingView* loading() const { return m_loading; }
    // Where the image is drawn.
    QRectF imageRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    const double m_padding;
    QImage m_image;
    LoadingView* m_loading;
};
