#pragma once

#include <QColor>
#include <QWidget>

// One of the Symbols' drawings as a widget of a fixed square size.
class SymbolIcon : public QWidget
{
    Q_OBJECT
  public:
    SymbolIcon(const QString& symbol, int size, const QColor& colour, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QSize sizeHint() const override { return QSize(m_size, m_size); }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_symbol;
    int m_size;
    QColor m_colour;
};
