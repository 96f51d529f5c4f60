#pragma once

#include <QString>
#include <QStringList>

class LocationRule;

// A written image read back by exiftool, a reader of its own that knows more places for tags
// than the writer's library, so that a copy is judged by other eyes than those that made it.
namespace ImageReadBack {

// The path of exiftool; throws ConvertError::missingTool, saying how to install it, when it is
// missing.
QString reader();

// What exiftool still finds in `copy` that a strip (`strip`) or else a location removal takes
// away (a location as `rule` tells it, by a tag's name or by its text), in words for a message: "the
// location", "the Exif tags", "the XMP tags", "the IPTC tags", "the comment", or "the <group> tags" for any
// other group. A strip leaves what a picture needs to be shown (its layout, orientation and colour profile)
// and what a reader says about the file itself, which are not counted. Throws ConvertError, naming `name`,
// when exiftool fails or cannot read the copy: a copy that cannot be judged is not kept.
QStringList leftovers(const QString& copy, const QString& name, bool strip, const LocationRule& rule);

// Fails when `copy`, a copy of the file named `name` written as `format`, still holds what a
// strip (`strip`) or else a location removal takes away (a location as `rule` tells it), as exiv2
// and then exiftool read it, naming what is left; also when either of them can't read it: a copy
// is never kept unjudged.
void refuseLeftovers(const QString& copy, const QString& name, const QString& format, bool strip,
                     const LocationRule& rule);

} // namespace ImageReadBack
