#include "engines/image/cmyktransform.h"

#include <QFile>
#include <lcms2.h>

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
        // machines. The alpha byte is left as the caller set it.
        const cmsUInt32Number output = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? TYPE_BGRA_8 : TYPE_ARGB_8;
        // Relative colorimetric, as other colour-managed programs show such files.
        transform = cmsCreateTransform(cmyk, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb, output,
                                       INTENT_RELATIVE_COLORIMETRIC, 0);
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(cmyk);
    return transform;
}

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

void CmykTransform::convert(const uchar* cmyk, QRgb* out, int width) const
{
    if (m_transform) {
        for (int x = 0; x < width; ++x)
            out[x] = 0xff000000;
        cmsDoTransform(static_cast<cmsHTRANSFORM>(m_transform), cmyk, out, cmsUInt32Number(width));
        return;
    }
    for (int x = 0; x < width; ++x) {
        const uchar* p = cmyk + 4 * x;
        const auto white = [&](int i) { return m_inverted ? int(p[i]) : 255 - p[i]; };
        const int k = white(3);
        out[x] = qRgb(white(0) * k / 255, white(1) * k / 255, white(2) * k / 255);
    }
}
