#pragma once

#include <QByteArray>
#include <QRgb>

// Turns rows of 8-bit CMYK samples into sRGB pixels through a CMYK colour profile: the file's
// own when it has a usable one, else the system's default CMYK profile, else (with neither)
// by the plain formula R = (1 − C)(1 − K). Safe to use from one thread at a time; each load
// makes its own.
class CmykTransform
{
  public:
    // `profile` is the ICC profile the picture carries (empty for none); `inverted` says that
    // 0 means full ink, as Adobe's JPEGs store it.
    CmykTransform(const QByteArray& profile, bool inverted);
    ~CmykTransform();
    CmykTransform(const CmykTransform&) = delete;
    CmykTransform& operator=(const CmykTransform&) = delete;

    // `width` pixels of C, M, Y, K bytes from `cmyk` into opaque pixels at `out`.
    void convert(const uchar* cmyk, QRgb* out, int width) const;

    // Whether a profile is applied; false when the plain formula stands in.
    bool isManaged() const { return m_transform != nullptr; }

    // Where the default CMYK profile is installed (by Debian's libgs-common).
    static const char* defaultProfilePath();

  private:
    void* m_transform = nullptr;
    bool m_inverted;
};
