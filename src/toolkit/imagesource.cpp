#include "toolkit/imagesource.h"

#include "core/converterror.h"
#include "engines/heavyengines.h"
#include "toolkit/imagegeometry.h"
#include "toolkit/pools.h"

namespace {

struct Outcome
{
    QImage full, preview;
    QString error;
};

} // namespace

ImageSource::ImageSource(const QString& path, double previewSize, QObject* parent)
    : ViewSource(parent), m_path(path)
{
    std::function<Outcome()> load = [path, previewSize] {
        Outcome out;
        try {
            out.full = Modules::entries<HeavyEngines>().loadImage(path);
            out.preview = downscaled(out.full, previewSize);
        } catch (const std::exception& e) {
            out.error = errorDescription(e);
        }
        return out;
    };
    Pools::deliver<Outcome>(Pools::loader(), this, std::move(load), [this](Outcome out) {
        if (out.full.isNull()) {
            m_error = out.error.isEmpty() ? QStringLiteral("Couldn’t read the image") : out.error;
            emit errorChanged();
            emit settled();
            return;
        }
        m_full = out.full;
        m_preview = out.preview;
        emit fullChanged();
        emit previewChanged();
        emit settled();
    });
}
