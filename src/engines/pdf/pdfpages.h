#pragma once

#include "core/progress.h"
#include "engines/pagechoice.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class Job;

// Whole pages of PDFs: counted, pictured small, and copied into new PDFs in a chosen order and
// rotation without being drawn again. The writers throw ConvertError, write nothing when they
// fail or are cancelled, and never change their sources.
namespace PDFPages {

// The number of pages of the PDF at `path`. Throws ConvertError "Couldn’t open <name>" or
// "<name> is password-protected".
int count(const QString& path);

// Pictures of every page in order, each fitted into `box` pixels, handed to `each` with the
// page's index as it is made (a null picture for a page that can't be drawn); stops when `each`
// returns false. Nothing is handed over for a file that can't be opened. Blocks; any thread.
void thumbnails(const QString& path, QSize box,
                const std::function<bool(int page, const QImage& picture)>& each);

// A new PDF of the source's pages as `pages` lists them, in that order, each turned by its
// choice's rotation beyond its own, with the source's document information and the owner's
// restrictions: "<base> Organized.pdf" in the output folder. Links, named destinations and
// bookmarks lead to the first copy of their page, form fields and attached files stay (PageCopies);
// what led only to pages left out is named in a note. A listed page the source doesn't have, or
// one that can't be copied, fails the whole file.
QStringList organize(const QString& source, const std::vector<PageChoice>& pages, Job& job,
                     const Progress& progress);

// One PDF of every page of `files` in order, named after the first: "<base> Merged.pdf" in its
// output folder, with every file's links, named destinations, bookmarks, form fields and
// attached files, and the owner's restrictions of the first file that has any (a note says so
// when the files differ). The job's cancel is checked before each file; a page that can't be
// copied fails the whole file.
QStringList merge(const QStringList& files, Job& job, const Progress& progress);

} // namespace PDFPages
