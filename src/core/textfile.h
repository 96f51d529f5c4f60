#pragma once

#include <QByteArray>
#include <QString>

// Text files: read in whatever encoding they come in (CSV, TSV, subtitles), written as UTF-8.
namespace TextFile {

// The text of `bytes`: by their byte-order mark when they have one (which is dropped), else as
// UTF-8 when they are valid UTF-8, else in the encoding TextEncoding::guess finds, else as
// Windows-1252, which every byte sequence is. Throws ConvertError when the encoding detector
// can't be loaded.
QString decode(const QByteArray& bytes);

// The bytes of the file at `path`. Throws ConvertError::failed("Couldn’t read “<name>”: …").
QByteArray bytes(const QString& path);

// The decoded text of the file at `path`. Throws as bytes() does.
QString read(const QString& path);

// Writes `text` as UTF-8 (no byte-order mark) to a new file at `path`. Throws ConvertError::failed.
void write(const QString& path, const QString& text);

} // namespace TextFile
