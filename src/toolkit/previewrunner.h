#pragma once

#include <QImage>
#include <QObject>
#include <functional>
#include <optional>

class QThreadPool;

// Runs a window's preview renders on the preview pool, newest first: at most one render runs
// and one waits; a request made while one runs replaces the waiting one, and only the image of
// the newest request is delivered. A runner that is destroyed (its window closed) delivers
// nothing more. Main thread only.
class PreviewRunner : public QObject
{
    Q_OBJECT
  public:
    // Gives the preview, or a null image when it cannot be made.
    using Render = std::function<QImage()>;

    explicit PreviewRunner(QObject* parent = nullptr);
    // On another pool; tests use this to hold renders back.
    PreviewRunner(QThreadPool& pool, QObject* parent = nullptr);

    void request(Render render);
    bool isBusy() const { return m_running; }

  signals:
    void ready(const QImage& image);

  private:
    void start(quint64 id, Render render);
    void finished(quint64 id, const QImage& image);

    QThreadPool& m_pool;
    quint64 m_latest = 0;
    bool m_running = false;
    std::optional<std::pair<quint64, Render>> m_waiting;
};
