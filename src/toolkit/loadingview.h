#pragma once

#include <QWidget>
#include <optional>

class QTimer;

// Stands in for a picture while it loads (a small spinner) or when it could not be read (the
// reason, in small soft text).
class LoadingView : public QWidget
{
    Q_OBJECT
  public:
    explicit LoadingView(QWidget* parent = nullptr);

    std::optional<QString> error() const { return m_error; }
    void setError(const std::optional<QString>& error);

    static void paint(QPainter& painter, QSizeF size, const std::optional<QString>& error, double phase);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    std::optional<QString> m_error;
    double m_phase = 0;
    QTimer* m_timer;
};
