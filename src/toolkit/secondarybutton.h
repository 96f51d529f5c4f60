#pragma once

#include <QAbstractButton>

// The quiet rounded button of a tool's footer, with an optional symbol before its title.
class SecondaryButton : public QAbstractButton
{
    Q_OBJECT
  public:
    static constexpr int height = 28;

    // `symbol` names a drawing of Symbols; empty for none.
    SecondaryButton(const QString& title, const QString& symbol = QString(), QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QString symbol() const { return m_symbol; }
    // Changes the title and the symbol together, and the size with them.
    void setContent(const QString& title, const QString& symbol);

    static void paint(QPainter& painter, const QRectF& rect, const QString& title, const QString& symbol,
                      bool enabled);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
};
