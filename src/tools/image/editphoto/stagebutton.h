#pragma once

#include <QAbstractButton>

// The small capsule button laid over a dark stage: a symbol and a title in soft white on a
// faint white capsule, as wide as its content.
class StageButton : public QAbstractButton
{
    Q_OBJECT
  public:
    static constexpr int height = 22;

    // `symbol` names a drawing of Symbols.
    StageButton(const QString& title, const QString& symbol, QWidget* parent = nullptr);

    // Retitles the button and fits its width to the new title.
    void setTitle(const QString& title);
    QSize sizeHint() const override;

    static void paint(QPainter& painter, const QRectF& rect, const QString& title, const QString& symbol);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
};
