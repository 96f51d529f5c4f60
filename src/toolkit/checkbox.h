#pragma once

#include <QAbstractButton>

// A rounded square check box with its label; a click on either toggles it.
class Checkbox : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit Checkbox(const QString& label, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    static void paint(QPainter& painter, const QRectF& rect, const QString& label, bool on);

  protected:
    void paintEvent(QPaintEvent* event) override;
};
