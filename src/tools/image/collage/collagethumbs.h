#pragma once

#include "toolkit/viewsource.h"

#include <QHash>
#include <QImage>
#include <QStringList>

// The collage window's thumbnails, made once on the loader pool: each file that can be read,
// at most `size` pixels on its longer side, in sRGB. A file that can't be read has none, silently.
// It fails when no file could be read, as there is nothing to make a collage of. Main thread.
class CollageThumbs : public ViewSource
{
    Q_OBJECT
  public:
    static constexpr double size = 700;

    explicit CollageThumbs(const QStringList& files, QObject* parent = nullptr);

    // Null for a file without one.
    QImage thumb(const QString& file) const { return m_thumbs.value(file); }
    bool isSettled() const override { return m_settled; }
    bool hasFailed() const override { return m_settled && m_thumbs.isEmpty(); }

  private:
    QHash<QString, QImage> m_thumbs;
    bool m_settled = false;
};
