#pragma once

#include "toolkit/viewsource.h"

#include <QImage>
#include <QString>
#include <optional>

// A tool window's picture, decoded once on the loader pool: the full image, a preview of at
// most the preview size on its longer side, or the reason it could not be read. Either nothing
// is set yet (loading), or the full image and the preview are, or only the error. Main thread.
class ImageSource : public ViewSource
{
    Q_OBJECT
  public:
    // Starts loading at once and returns before anything is loaded.
    ImageSource(const QString& path, double previewSize, QObject* parent = nullptr);

    QString path() const { return m_path; }
    const QImage& full() const { return m_full; }
    const QImage& preview() const { return m_preview; }
    std::optional<QString> error() const { return m_error; }
    // True once loaded or failed; settled() follows the other signals.
    bool isSettled() const override { return !m_full.isNull() || m_error.has_value(); }
    bool hasFailed() const override { return m_error.has_value(); }

  signals:
    void fullChanged();
    void previewChanged();
    void errorChanged();

  private:
    const QString m_path;
    QImage m_full;
    QImage m_preview;
    std::optional<QString> m_error;
};
