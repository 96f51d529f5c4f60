#pragma once

#include <QString>

// The look at an input before any work opens it.
namespace InputCheck {

// Throws ConvertError::failed ("clip.mp4 is no longer there") when nothing is at `path`, or
// only a link to nothing: a file gone since it was chosen is said to be gone, whichever program
// would have read it.
void refuseGone(const QString& path);

// Throws ConvertError::unsupported with a plain reason when `path` (links followed) is a pipe, a
// device or a socket: reading one would wait for a writer or never end. Files, folders and
// missing paths pass; the work judges those.
void refuseSpecial(const QString& path);

// Throws ConvertError::unsupported ("report.docx isn’t a Word document") when the container of
// a file with format `key` is not the one that format is stored in: ZIP for OOXML, OpenDocument
// and EPUB, OLE2 for the older office formats, "{\rtf" for RTF. Other formats, folders and
// missing paths pass. Throws ConvertError::failed ("report.docx is password-protected") when the
// file is saved with a password: an OOXML name on an encrypted package (an OLE container with
// an EncryptionInfo stream), a DOC or XLS file marked encrypted, an OpenDocument package whose
// manifest holds encryption data.
void refuseMislabelled(const QString& path, const QString& key);

} // namespace InputCheck
