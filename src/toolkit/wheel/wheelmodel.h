#pragma once

#include "core/wheelitem.h"
#include "core/wheelmode.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// The state of one wheel, changed on the main thread by its owner and drawn by WheelView.
class WheelModel : public QObject
{
    Q_OBJECT
  public:
    explicit WheelModel(QObject* parent = nullptr);

    WheelMode mode() const { return m_mode; }
    const QList<WheelItem>& items() const { return m_items; }
    std::optional<int> highlighted() const { return m_highlighted; }
    QString restingText() const { return m_restingText; }
    // False draws the wheel shrunk and transparent; true fully open. The view animates changes.
    bool bloom() const { return m_bloom; }

    void setMode(WheelMode mode);
    void setItems(const QList<WheelItem>& items);
    void setHighlighted(std::optional<int> index);
    void setRestingText(const QString& text);
    void setBloom(bool bloom);

    // The highlighted petal's title, else the resting text; none when that is empty. A stale
    // index past the last petal counts as no highlight.
    std::optional<QString> centerText() const;
    // What the wheel says when the mode has no petals for the dragged files.
    QString emptyMessage() const;
    // The highlight when it names one of the current petals.
    std::optional<int> validHighlight() const;

  signals:
    void modeChanged();
    void itemsChanged();
    void highlightedChanged();
    void restingTextChanged();
    void bloomChanged();

  private:
    WheelMode m_mode = WheelMode::conversions;
    QList<WheelItem> m_items;
    std::optional<int> m_highlighted;
    QString m_restingText;
    bool m_bloom = false;
};
