#pragma once

#include <QAbstractButton>

// The filled orange button that runs a tool; faint while disabled. Return presses it while it
// is enabled (the tool window's doing).
class PrimaryButton : public QAbstractButton
{
    Q_OBJECT
  public:
    static constexpr int height = 28;

    explicit PrimaryButton(const QString& title, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static void paint(QPainter& painter, const QRectF& rect, const QString& title, bool enabled);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
