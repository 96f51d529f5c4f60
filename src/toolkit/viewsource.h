#pragma once

#include <QObject>

// Something a framed view loads before it shows its files as they will stay: a picture, a sound,
// a video. It settles once, loaded or failed, and emits settled() then; it never unsettles.
class ViewSource : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual bool isSettled() const = 0;
    // Whether it settled without what it loads: the view then has nothing to apply to.
    virtual bool hasFailed() const { return false; }

  signals:
    void settled();
};
