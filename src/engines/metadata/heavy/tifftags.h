#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <optional>

class LocationRule;

namespace TiffTags {

enum class Drop {
    location, // the GPS directories and GeoTIFF tags of every page and thumbnail, text fields that
              // hold a location, and the location kept in XMP, IPTC and the Photoshop resource
              // block (LocationBlocks)
    allTags   // every tag a reader does not need to show a page, but the orientation and the
              // colour profile
};

// The classic TIFF `data` with the chosen tags taken out of every page and of the directories
// they lead to. The work is done in place: removed entries leave their directory, their values
// and sub-directories are overwritten with zeros so that no byte of them is left, and the pixels
// stay where they were. None when `data` is not a classic TIFF whose pages can be followed.
std::optional<QByteArray> without(const QByteArray& data, Drop drop);

// without(`data`, Drop::location), with the location told by `rule`, which is shown each field.
std::optional<QByteArray> withoutLocation(const QByteArray& data, LocationRule& rule);

// The number of pages of a classic TIFF; 0 when `data` is none.
int pageCount(const QByteArray& data);

// Whether a reader needs the tag `tag` of a page to show it (its layout, compression, colours,
// resolution and orientation, and the sub-directories that hold its full picture or its other
// sizes): what a page keeps when every other tag goes.
bool showsThePage(quint16 tag);

} // namespace TiffTags
