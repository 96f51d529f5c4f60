#pragma once

#include <QByteArray>
#include <QString>

// The encoding of text that carries no mark of it: the one text reader's detection, shared by
// subtitles, delimited tables and documents.
namespace TextEncoding {

// The name of the encoding that `bytes` (unmarked, not UTF-8) were most likely saved in, as the
// detector guesses it, with two corrections: an ISO page guessed for text that reads as well in
// its Windows sibling is taken as that Windows page (whose extra signs and letters the ISO page
// lacks), and a rarer single-byte page guessed for what reads as clean Latin text in
// Windows-1252 is taken as Windows-1252 (short Western text misleads the detector). Empty when
// the detector has no guess. Throws ConvertError when the detector's library can't be loaded.
QByteArray guess(const QByteArray& bytes);

// `bytes` read as Windows-1252; its five unassigned bytes keep their Latin-1 control characters,
// so every byte sequence is text.
QString windows1252(const QByteArray& bytes);

} // namespace TextEncoding
