#pragma once

#include "engines/package/epub.h"

#include <QList>
#include <QString>

class QTextDocument;

namespace Doc {

struct BookBody
{
    QString html;
    QList<EPUB::Resource> pictures;
};

// `html` made for a book: each picture `document` holds or can load (see ConfinedDocument) goes
// into the book as "images/pictureN.png" or ".jpeg" and its <img> points there; an <img> whose
// picture can't be had is left out, so that the book names nothing it lacks.
BookBody bookBody(const QString& html, const QTextDocument& document);

} // namespace Doc
