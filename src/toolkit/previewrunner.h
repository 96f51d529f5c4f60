#pragma once

#include <QImage>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class QThreadPool;

// Runs a window's preview work on the preview pool, newest first: at most one render runs and
// one waits; a request made while one runs replaces the waiting one, and only the result of the
// newest request is delivered. A runner that is destroyed (its window closed) delivers nothing
// more. A window keeps one runner per kind of preview (its picture, its size estimate, …).
// Main thread only.
class PreviewRunner : public QObject
{
    Q_OBJECT
  public:
    // Gives the preview, or a null image when it cannot be made.
    using Render = std::function<QImage()>;

    explicit PreviewRunner(QObject* parent = nullptr);
    // On another pool; tests use this to hold renders back.
    PreviewRunner(QThreadPool& pool, QObject* parent = nullptr);

    // A picture, delivered through ready().
    void request(Render render);

    // Any other result: `render` runs on the pool and `deliver` gets its result on the main
    // thread. A render that throws gives a default T (an empty optional, a null image).
    template <class T> void request(std::function<T()> render, std::function<void(T)> deliver)
    {
        auto result = std::make_shared<T>();
        submit(
            [render = std::move(render), result] {
                try {
                    *result = render();
                } catch (...) {
                    *result = T();
                }
            },
            [deliver = std::move(deliver), result] { deliver(std::move(*result)); });
    }

    bool isBusy() const { return m_running; }

  signals:
    void ready(const QImage& image);

  private:
    // What runs on the pool, and what then hands its result over on the main thread.
    struct Task
    {
        std::function<void()> work;
        std::function<void()> deliver;
    };

    void submit(std::function<void()> work, std::function<void()> deliver);
    void start(quint64 id, Task task);
    void finished(quint64 id, const std::function<void()>& deliver);

    QThreadPool& m_pool;
    quint64 m_latest = 0;
    bool m_running = false;
    std::optional<std::pair<quint64, Task>> m_waiting;
};
