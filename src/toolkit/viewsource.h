#pragma once

#include <QObject>

// Something a tool view loads before it shows its files as they will stay: a picture, a sound,
// a video. It settles once, loaded or failed, and emits settled() then; it never unsettles.
class ViewSource : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual bool isSettled() const = 0;

  signals:
    void settled();
};
