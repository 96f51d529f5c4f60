#include "tools/image/collage/collagethumbs.h"

#include "engines/heavyengines.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/imagetools.h"
#include "toolkit/pools.h"

CollageThumbs::CollageThumbs(const QStringList& files, QObject* parent) : ViewSource(parent)
{
    using Thumbs = QHash<QString, QImage>;
    std::function<Thumbs()> load = [files] {
        Thumbs out;
        for (const QString& file : files) {
            if (out.contains(file)) continue;
            try {
                // Only the thumbnail is kept: one full picture is held at a time.
                const QImage thumb =
                    ImageTools::inSRgb(downscaled(Modules::entries<HeavyEngines>().loadImage(file), size));
                if (!thumb.isNull()) out.insert(file, thumb);
            } catch (const std::exception&) {
            }
        }
        return out;
    };
    Pools::deliver<Thumbs>(Pools::loader(), this, std::move(load), [this](Thumbs thumbs) {
        m_thumbs = std::move(thumbs);
        m_settled = true;
        emit settled();
    });
}
