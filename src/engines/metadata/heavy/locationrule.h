#pragma once

#include <QString>
#include <QStringList>
#include <exiv2/exiv2.hpp>

// Tells a location by where it is kept and by what it says: a field named as a location
// (LocationNames), and any other whose text holds coordinates or repeats a place name that the
// file keeps in a location field. One rule serves the Metadata window's offer, the removal and the
// read-back of the copy. The place names are learned from the fields it is shown, so a file's
// fields are shown to it once before they are judged.
class LocationRule
{
  public:
    // Learns the place names `value` holds when the field named `name` names places (a city, a
    // shot location, a Darwin Core locality; not coordinates): each of its parts between commas
    // that has a word of three letters or more.
    void learn(QStringView name, QStringView value);
    void learn(const Exiv2::Metadatum& datum);

    // Whether `text` holds coordinates, or repeats a learned place name as a whole word with its
    // capitals, or is that name alone in any case.
    bool holdsLocation(QStringView text) const;

    // Whether the field named `name` holding `value` is location, and goes with it: named as a
    // location, or holding one.
    bool isLocation(QStringView name, QStringView value) const;
    // The same for an exiv2 tag, record or property (LocationNames::isLocationKey), its texts read
    // as a reader shows them.
    bool isLocation(const Exiv2::Metadatum& datum) const;
    // Whether a field that is still in a file tells a location: one that isLocation() and does
    // not hold empty text alone.
    bool tellsLocation(const Exiv2::Metadatum& datum) const;

    QStringList places() const { return m_places; }

    // The texts of an exiv2 value as a reader shows them: each item of an XMP array or
    // alternative, an Exif comment without its character set, the UCS-2 of Windows' XP tags;
    // none for numbers.
    static QStringList texts(const Exiv2::Metadatum& datum);

  private:
    QStringList m_places;
};
