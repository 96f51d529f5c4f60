#pragma once

#include <QImage>
#include <vector>

// The rows of an image as a PNG file holds them: 8-bit grey, RGB or RGBA samples, each row
// filtered the way libpng chooses (the filter whose output has the smallest sum of absolute
// values). Rows are converted from the image's own format one at a time, so the image is never
// copied. Indexed, 1-bit and 16-bit images are not taken (see accepts()).
class PngRows
{
  public:
    // PNG colour types.
    enum class Colour : quint8 { grey = 0, rgb = 2, rgba = 6 };

    // Whether the image's format is one these rows can carry without losing anything Qt's own
    // PNG encoder would keep.
    static bool accepts(const QImage& image);

    // `image` must be accepted and outlive this object.
    explicit PngRows(const QImage& image);

    Colour colour() const { return m_colour; }
    int height() const { return m_image.height(); }
    // Bytes of one row's samples, without the filter byte.
    qsizetype rowBytes() const { return m_rowBytes; }

    // One thread's buffers for filtering; a Filterer is used by one thread at a time.
    class Filterer
    {
      public:
        explicit Filterer(const PngRows& rows);
        // Row `y` filtered: the filter type byte followed by rowBytes() bytes, valid until the
        // next call. Rows may be asked for in any order.
        const uchar* filtered(int y);
        qsizetype rowBytes() const { return m_rows.rowBytes(); }

      private:
        void samples(int y, uchar* out);

        const PngRows& m_rows;
        int m_have = -1; // the row whose samples are in m_current
        std::vector<uchar> m_previous, m_current;
        std::vector<uchar> m_candidates[5];
    };

  private:
    const QImage& m_image;
    Colour m_colour;
    int m_channels;
    qsizetype m_rowBytes;
};
