#pragma once

#include <QByteArray>
#include <QImage>

// Turns rows of 8-bit CMYK samples into sRGB pixels through a CMYK colour profile: the file's
// own when it has a usable one, else the system's default CMYK profile, else (with neither)
// by the plain formula R = (1 − C)(1 − K).
class CmykTransform
{
  public:
    // `profile` is the ICC profile the picture carries (empty for none); `inverted` says that
    // 0 means full ink, as Adobe's JPEGs store it.
    CmykTransform(const QByteArray& profile, bool inverted);
    ~CmykTransform();
    CmykTransform(const CmykTransform&) = delete;
    CmykTransform& operator=(const CmykTransform&) = delete;

    // Turns `image` (Format_RGB32), each of whose pixels holds C, M, Y, K bytes in that order
    // in memory, into the opaque colours they give, in place. The rows are shared out to the
    // worker pool.
    void convert(QImage& image) const;

    // Whether a profile is applied; false when the plain formula stands in.
    bool isManaged() const { return m_transform != nullptr; }

    // Where the default CMYK profile is installed (by Debian's libgs-common).
    static const char* defaultProfilePath();

  private:
    // `width` pixels of C, M, Y, K bytes from `cmyk` into opaque pixels at `out`.
    void convertRow(const uchar* cmyk, QRgb* out, int width) const;

    void* m_transform = nullptr;
    bool m_inverted;
};
