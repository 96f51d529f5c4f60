#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <qpdf/QPDF.hh>
#include <vector>

class Job;
class ScratchFolder;
namespace Poppler {
class Document;
}

// What a PDF of page pictures keeps of its source besides the look of its pages: every file
// attached to it (to its comments too) in its list of attached files, its bookmarks leading to
// the same pages and places, and the owner's restrictions. What a picture can't hold, links,
// form fields and comments, is told as notes.
class PictureExtras
{
  public:
    // Reads `source`, which `doc` has opened. When qpdf can't, nothing is carried over, and
    // finish() names what Poppler finds there that is lost with it.
    PictureExtras(const QString& source, const Poppler::Document& doc);
    ~PictureExtras();
    PictureExtras(const PictureExtras&) = delete;
    PictureExtras& operator=(const PictureExtras&) = delete;

    // Where the page pictures are to be written: `destination` itself when the source has
    // nothing to carry over, else a file in a scratch folder.
    QString picturesFile(const QString& destination);

    // Writes `destination` from picturesFile(), whose pages picture the source's pages `kept`
    // (their indexes, in order), with what is carried over, and tells `job` what was left out; a
    // bookmark to a page left out leads nowhere. Throws ConvertError "Couldn’t write the
    // PDF" or the plain failure of the write.
    void finish(const QString& destination, const QList<int>& kept, Job& job);

  private:
    QPDFObjectHandle placed(QPDFObjectHandle dest, const std::vector<QPDFObjectHandle>& pages);
    void findLost(const Poppler::Document& doc);
    void notes(Job& job) const;

    QString m_name;
    QPDF m_source;
    bool m_carry = false; // attached files, bookmarks or restrictions
    int m_links = 0, m_fields = 0, m_comments = 0;
    QStringList m_unread;
    QStringList m_lost; // when qpdf can't read the source: what it holds that can't be carried over
    std::map<QPDFObjGen, int> m_pageIndex; // the source's pages, by index; in finish(), in the copy
    QList<int> m_kept;                     // the source's pages the copy holds
    std::unique_ptr<ScratchFolder> m_scratch;
    QString m_pictures;
};
