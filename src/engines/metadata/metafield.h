#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One editable tag of a file: the name its writer understands, its caption and its text (empty
// for no value).
struct MetaField
{
    QString key;
    QString label;
    QString value;

    bool operator==(const MetaField&) const = default;
};

// What an image says about itself: its editable fields (Title, Author, Copyright, Keywords),
// read-only facts as (label, text) rows (Camera, Lens, Taken, Size, Location, each when known)
// and whether it carries a location at all (coordinates or a place name).
struct ImageFields
{
    QList<MetaField> editable;
    QList<QPair<QString, QString>> info;
    bool hasGPS = false;
    // False when the file could not be read at all, so its fields stand for nothing.
    bool readable = true;
};

namespace MetadataEngine {

// The fields of `fields` whose value differs from the field of the same key in `original` (or
// that `original` lacks): all an edit writes, so a tag the user left alone, or one that could not
// be read, is never overwritten.
QList<MetaField> changedFields(const QList<MetaField>& fields, const QList<MetaField>& original);

// A keyword text as the list it stands for: split on commas, each piece trimmed of spaces and
// tabs, empty pieces dropped.
QStringList keywordList(const QString& text);

} // namespace MetadataEngine
