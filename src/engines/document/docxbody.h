#pragma once

#include "engines/document/pictures.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QTextListFormat>

class QTextBlock;
class QTextCharFormat;
class QTextDocument;
class QTextFrame;
class QTextFragment;
class QTextList;
class QTextTable;

// The WordprocessingML body of a document, with what the body refers to: the lists it numbers,
// the addresses it links to and the pictures it shows.
class DocxBody
{
  public:
    struct Link
    {
        QString id;
        QString target; // an absolute, encoded address
    };
    struct Media
    {
        QString id;
        QString file; // under "word/"
        QByteArray bytes;
    };

    // `textWidth` is the width between the page margins in points; pictures are fitted into it.
    DocxBody(const QTextDocument& document, double textWidth);

    QString xml() const { return m_xml; }
    // The list styles, numbered from 1 in this order.
    QList<QTextListFormat::Style> lists() const { return m_listStyles; }
    QList<Link> links() const { return m_links; }
    QList<Media> media() const { return m_media; }

  private:
    QString frame(const QTextFrame& frame, int width);
    QString table(const QTextTable& table, int width);
    QString paragraph(const QTextBlock& block);
    QString paragraphProperties(const QTextBlock& block);
    QString runs(const QTextBlock& block);
    QString fragmentRuns(const QTextFragment& fragment);
    QString runProperties(const QTextCharFormat& format, bool rightToLeft) const;
    QString pictureRun(const QTextFragment& fragment);
    std::optional<QString> linkOpening(const QString& href);

    const QTextDocument& m_document;
    double m_textWidth;
    QString m_xml;
    QHash<const QTextList*, int> m_listIds;
    QList<QTextListFormat::Style> m_listStyles;
    QHash<QString, QString> m_linkIds;
    QList<Link> m_links;
    QHash<QString, std::optional<Doc::Picture>> m_pictures;
    QHash<QString, QString> m_mediaIds;
    QList<Media> m_media;
    int m_drawings = 0;
    int m_bookmarks = 0;
};
