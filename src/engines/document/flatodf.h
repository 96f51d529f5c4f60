#pragma once

#include <QByteArray>

// A word-processing document in OpenDocument's flat XML form, as LibreOffice saves it, made to
// say what its reader sees, before LibreOffice exports it as HTML (an export that marks no
// changes, breaks a word at a floating picture and keeps headings in their outline's list).
namespace FlatOdf {

// `flat` with
// - its tracked changes accepted: insertions kept, deleted text left out, and a paragraph whose
//   end was deleted joined with the one after it;
// - every floating picture (anchored to its paragraph or to a character) taken out of the text
//   into a paragraph of its own just before, so that no word or space is split around it;
// - headings set free of lists whose style shows no number or bullet at their level.
// Everything else is kept as it was. Throws ConvertError::failed when `flat` isn't well-formed.
QByteArray settled(const QByteArray& flat);

} // namespace FlatOdf
