#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <functional>
#include <optional>

// The items of a HEIF file (HEIC, AVIF): its coded pictures, their properties and its metadata
// blocks, read from the file's boxes and written out again. An item's bytes are written as they
// were read unless they were replaced, so a picture is copied without being coded again.
class HeifItems
{
  public:
    struct Item
    {
        quint32 id = 0;
        QByteArray type;        // "hvc1", "av01", "grid", "Exif", "mime", …
        QByteArray contentType; // of a "mime" item: "application/rdf+xml" for XMP
        bool hidden = false;
        bool inIdat = false; // kept inside the meta box rather than in the media data
        QByteArray data;     // its extents joined
        QByteArray entry;    // its item information box
    };
    struct Reference
    {
        QByteArray type; // "dimg", "thmb", "auxl", "cdsc", …
        quint32 from = 0;
        QList<quint32> to;
    };

    QList<Item> items;
    QList<Reference> references;
    QList<QByteArray> properties; // the property boxes as stored, numbered from 1
    // Each item's property numbers, the top bit marking a property a reader must understand.
    QHash<quint32, QList<quint16>> associations;
    quint32 primary = 0;

    // The items of `file`; none when it is no HEIF file or holds what a copy cannot follow: a
    // picture sequence, a protected item, an item whose bytes lie in another file or in another
    // item.
    static std::optional<HeifItems> read(const QByteArray& file);

    // The file again with its items as they are now. `keepOthers` keeps the boxes that are not
    // about items (free space, an unknown box of the file or of its meta box), which go otherwise.
    QByteArray written(bool keepOthers) const;

    Item* item(quint32 id);
    // Adds a hidden item of `type` holding `data`, described by `to`, and gives its number.
    quint32 addDescription(const QByteArray& type, const QByteArray& data, quint32 to);
    // Takes out the items `ids`, the references from and to them and their associations.
    void remove(const QSet<quint32>& ids);
    // The four-character type of property `number` (from 1); empty when there is none.
    QByteArray propertyType(quint16 number) const;
    // Keeps only the properties for which `keep` holds, asked in their order, renumbering the
    // associations.
    void keepProperties(const std::function<bool(const QByteArray& box)>& keep);

  private:
    struct Box
    {
        QByteArray type;
        QByteArray bytes;
    };
    QList<Box> m_top;  // the file's boxes; those of type "meta" and "mdat" are rebuilt
    QList<Box> m_meta; // the meta box's children; "iloc", "iinf", "iref", "iprp", "idat" rebuilt

    QByteArray meta(quint64 mediaStart, int offsetSize, bool keepOthers) const;
};
