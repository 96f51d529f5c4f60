#include "engines/image/cmyktransform.h"

#include "core/workers.h"

#include <QFile>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <lcms2.h>
#include <memory>
#include <mutex>
#include <vector>

namespace {

QByteArray defaultProfile()
{
    static const QByteArray bytes = [] {
        QFile file(QString::fromLatin1(CmykTransform::defaultProfilePath()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

// A transform from `profile` when it is a CMYK profile lcms can use, else none.
cmsHTRANSFORM transformFrom(const QByteArray& profile, bool inverted)
{
    if (profile.isEmpty()) return nullptr;
    cmsHPROFILE cmyk = cmsOpenProfileFromMem(profile.constData(), cmsUInt32Number(profile.size()));
    if (!cmyk) return nullptr;
    cmsHTRANSFORM transform = nullptr;
    if (cmsGetColorSpace(cmyk) == cmsSigCmykData) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        // QImage's 32-bit pixels are 0xAARRGGBB words: B, G, R, A in memory on little-endian
        // machines. lcms leaves the alpha byte alone.
        const cmsUInt32Number output = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
        // Relative colorimetric, as other colour-managed programs show such files.
        transform = cmsCreateTransform(cmyk, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb, output,
                                       INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE); // shared by threads
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(cmyk);
    return transform;
}

// Bands of rows converted by whoever claims them first: the thread that asks and the pool's
// threads. A task that starts once every band is claimed finds nothing to do and touches only
// this state, so the asking thread waits for the claimed bands alone.
struct Bands
{
    int count = 0;
    std::function<void(int)> convert; // called only for a claimed band, while the asker waits
    std::atomic<int> next{0};
    std::mutex lock;
    std::condition_variable changed;
    int finished = 0;

    void work()
    {
        for (int band; (band = next.fetch_add(1)) < count;) {
            convert(band);
            const std::lock_guard<std::mutex> locked(lock);
            if (++finished == count) changed.notify_all();
        }
    }
};

constexpr int rowsPerBand = 32;

} // namespace

CmykTransform::CmykTransform(const QByteArray& profile, bool inverted) : m_inverted(inverted)
{
    m_transform = transformFrom(profile, inverted);
    if (!m_transform) m_transform = transformFrom(defaultProfile(), inverted);
}

CmykTransform::~CmykTransform()
{
    if (m_transform) cmsDeleteTransform(static_cast<cmsHTRANSFORM>(m_transform));
}

const char* CmykTransform::defaultProfilePath()
{
    return "/usr/share/color/icc/ghostscript/default_cmyk.icc";
}

void CmykTransform::convert(QImage& image) const
{
    const int width = image.width(), height = image.height();
    auto bands = std::make_shared<Bands>();
    bands->count = (height + rowsPerBand - 1) / rowsPerBand;
    // Taken once here: QImage::scanLine() counts detaches, which threads must not do at once.
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    bands->convert = [this, bits, stride, width, height](int band) {
        std::vector<uchar> row(size_t(width) * 4);
        for (int y = band * rowsPerBand; y < std::min(height, (band + 1) * rowsPerBand); ++y) {
            auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
            std::memcpy(row.data(), line, row.size());
            convertRow(row.data(), line, width);
        }
    };
    const int helpers = std::min(bands->count, Workers::pool().maxThreadCount()) - 1;
    for (int i = 0; i < helpers; ++i)
        Workers::pool().start([bands] { bands->work(); });
    bands->work();
    std::unique_lock<std::mutex> locked(bands->lock);
    bands->changed.wait(locked, [&] { return bands->finished == bands->count; });
}

void CmykTransform::convertRow(const uchar* cmyk, QRgb* out, int width) const
{
    if (m_transform) {
        cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), cmyk, out, cmsUInt32Number(width));
        for (int x = 0; x < width; ++x)
            out[x] |= 0xff000000; // the transform leaves the fourth byte as it found it
        return;
    }
    for (int x = 0; x < width; ++x) {
        const uchar* p = cmyk + 4 * x;
        const auto white = [&](int i) { return m_inverted ? int(p[i]) : 255 - p[i]; };
        const int k = white(3);
        out[x] = qRgb(white(0) * k / 255, white(1) * k / 255, white(2) * k / 255);
    }
}
