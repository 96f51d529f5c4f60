#pragma once

#include "tools/image/annotate/mark.h"

#include <QAbstractButton>

// One kind of mark in the annotate toolbar: its symbol, white on an orange rounded tile while it
// is the current kind, in ink otherwise.
class KindButton : public QAbstractButton
{
    Q_OBJECT
  public:
    explicit KindButton(Mark::Kind kind, QWidget* parent = nullptr);
    QSize sizeHint() const override { return QSize(30, 26); }

    Mark::Kind kind() const { return m_kind; }
    bool isCurrent() const { return m_current; }
    void setCurrent(bool current);

    // The symbol named for `kind`, and its tooltip ("Arrow", "Rect", …).
    static QString symbol(Mark::Kind kind);
    static QString help(Mark::Kind kind);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const Mark::Kind m_kind;
    bool m_current = false;
};
