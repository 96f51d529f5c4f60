#pragma once

#include "toolkit/viewsource.h"

#include <QHash>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

// The pages of the PDF a window organizes: their number, then a small picture of each, made one
// after another on the loader pool and handed to the main thread in batches (one hand-over
// waits at a time, holding every picture made meanwhile). The work stops at the next page once
// stop() is called or the source is destroyed, so a closed window costs nothing more.
// Settles once the pages are counted and the first screenful of pictures is in, or once the
// file turned out unreadable (then it has failed, with the reason). Main thread.
class PageThumbs : public ViewSource
{
    Q_OBJECT
  public:
    // The pictures settling waits for: about what the window shows at first.
    static constexpr int firstScreen = 20;

    // Starts at once and returns before anything is read. `box` is each picture's size limit.
    PageThumbs(const QString& path, QSize box, QObject* parent = nullptr);
    ~PageThumbs() override;

    std::optional<int> pageCount() const { return m_count; }
    std::optional<QString> error() const { return m_error; }
    // By source page index; a page whose picture failed has a null one.
    const QHash<int, QImage>& pictures() const { return m_pictures; }
    // Whether the work on the loader pool has ended (finished or stopped).
    bool isDone() const;
    void stop();

    // What the loader's work shares with the source.
    struct Shared;

    bool isSettled() const override { return m_settled; }
    bool hasFailed() const override { return m_error.has_value(); }

  signals:
    void counted();
    void picturesChanged();

  private:
    void takeOver();
    void settleIfReady();

    const std::shared_ptr<Shared> m_shared;
    std::optional<int> m_count;
    std::optional<QString> m_error;
    QHash<int, QImage> m_pictures;
    bool m_settled = false;
    bool m_finished = false;
};
