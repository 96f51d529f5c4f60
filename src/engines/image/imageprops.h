#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What an image file says about itself besides its pixels: its Exif fields (the main image
// directory, the camera directory and GPS), its IPTC records and its resolution. Fields are
// named by their exiv2 keys, such as "Exif.Image.Make", "Exif.GPSInfo.GPSLatitude" or
// "Iptc.Application2.Caption". A plain value: copies are independent.
class ImageProps
{
  public:
    ImageProps();
    ~ImageProps();
    ImageProps(const ImageProps& other);
    ImageProps& operator=(const ImageProps& other);
    ImageProps(ImageProps&&) noexcept;
    ImageProps& operator=(ImageProps&&) noexcept;

    // The properties of the file at `path`; empty for a file whose metadata cannot be read.
    static ImageProps read(const QString& path);
    // Properties from an Exif block that starts with its TIFF header ("II*" or "MM*").
    static ImageProps fromExif(const QByteArray& tiffExif);

    bool isEmpty() const;
    QStringList keys() const;
    // The field as exiv2 prints it (numbers in the C locale); none when absent.
    std::optional<QString> value(const QString& key) const;
    // Sets the field from text in exiv2's notation ("1", "48/1 51/1 0/1", "Tolvane"). Returns
    // false for a key exiv2 does not know or a value it cannot parse.
    bool setValue(const QString& key, const QString& value);
    void remove(const QString& key);

    // The Exif orientation, 1 (upright) to 8; 1 when absent or out of range.
    int orientation() const;
    void setOrientation(int orientation);

    // Resolution in dots per inch; none when the file gives none.
    std::optional<double> dpiX() const { return m_dpiX; }
    std::optional<double> dpiY() const { return m_dpiY; }
    void setDpi(std::optional<double> x, std::optional<double> y);

    // The Exif fields as a block starting with its TIFF header; empty without Exif fields.
    QByteArray exifBlock() const;
    // An XMP packet a HEIC or AVIF file is written with; read() and carried() leave it empty,
    // so only a caller that chose what the packet holds sets one.
    QByteArray xmpPacket() const;
    void setXmpPacket(const QByteArray& packet);
    // Writes the Exif and IPTC fields into the finished image file at `path`, for the formats
    // exiv2 can write (JPEG, PNG, TIFF, WebP); does nothing for others or without fields.
    // Throws ConvertError when the rewrite fails, since the file may then be damaged.
    void embedInto(const QString& path) const;

    // The copy a re-encoded image keeps: descriptive fields of the main image directory, the
    // camera and GPS directories, IPTC and the resolution, with orientation 1. Thumbnails,
    // maker notes and fields that describe the old encoding are left behind.
    ImageProps carried() const;

  private:
    // The resolution the Exif fields give, for files whose own header gives none.
    void takeExifDpi();

    struct Data;
    std::unique_ptr<Data> d;
    std::optional<double> m_dpiX, m_dpiY;
};
