#pragma once

#include <QString>

class QPDF;

// Reading and writing PDFs with qpdf, with the refusals and checks every qpdf feature shares.
namespace QPDFIO {

// Opens `path` into `pdf`, its warnings about repaired files silenced. Throws ConvertError
// "<file name> is password-protected" when it needs a password, else "Couldn’t open <file name>"
// when it can't be read.
void open(QPDF& pdf, const QString& path);

// Copies the source's document information (title, author and the like) into `out`.
void copyInfo(QPDF& source, QPDF& out);

// Writes `pdf` as the new file `path`, every write checked: qpdf's own file writer loses the
// failure of its last flush, which on a full disk leaves a truncated file as success. With
// `restrictions`, an opened PDF, the file is encrypted as that one is: same passwords, same
// permissions. Throws the plain failure of the write (Output::writeFailure) or qpdf's exception.
void write(QPDF& pdf, const QString& path, QPDF* restrictions = nullptr);

} // namespace QPDFIO
