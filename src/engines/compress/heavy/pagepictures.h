#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>
#include <QString>
#include <memory>

class CheckedFile;

// A PDF of one JPEG picture per page, written to its file as each page comes, so that only the
// page in hand is held in memory.
class PagePictures
{
  public:
    // Creates the new file `path` for `pages` pages; throws the plain failure when it can't.
    PagePictures(const QString& path, int pages);
    ~PagePictures();

    // The next page: `jpeg` (baseline JPEG data, 8-bit RGB) of `pixels` drawn over a page of
    // `points`.
    void add(const QByteArray& jpeg, const QSize& pixels, const QSizeF& points);
    // Writes the page tree and the cross-reference table and closes the file; throws the first
    // write failure, or a failure when fewer pages came than announced.
    void finish();

  private:
    void object(int number, const QByteArray& body, const QByteArray& stream = {});

    std::unique_ptr<CheckedFile> m_file;
    QList<qint64> m_offsets; // by object number, 1-based
    qint64 m_written = 0;
    int m_pages;
    int m_added = 0;
};
