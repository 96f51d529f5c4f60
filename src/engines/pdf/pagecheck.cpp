#include "engines/pdf/pagecheck.h"

#include <QFile>
#include <QList>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>

struct PageCheck::Impl
{
    QPDF pdf;
    bool read = false;                   // whether qpdf could read the file and its page tree
    bool tree = false;                   // whether the catalog names a page tree
    std::vector<QPDFObjectHandle> pages; // the page objects the tree names, in order
    QList<std::optional<int>> shown;     // by page: Poppler's index

    void readTree(const QString& path)
    {
        pdf.setSuppressWarnings(true);
        try {
            pdf.processFile(QFile::encodeName(path).constData());
            tree = pdf.getRoot().getKey("/Pages").isDictionary();
            pages = pdf.getAllPages();
            read = true;
        } catch (const std::exception&) {
            pages.clear();
        }
    }

    // Where Poppler can't reach a page whose object is missing, it leaves it out and moves the
    // later pages up; its pages are then the readable ones of the tree, in order. Where the two
    // readers see the tree otherwise, Poppler's own order is taken.
    void mapPages(const Poppler::Document& doc)
    {
        const int count = doc.numPages();
        QList<int> sound;
        for (int i = 0; read && i < int(pages.size()); ++i)
            if (pages[size_t(i)].isDictionary()) sound.append(i);
        for (int i = 0; i < count; ++i)
            shown.append(i);
        if (int(pages.size()) != count || sound.size() == count) return;
        QList<int> readable;
        for (int i = 0; i < count; ++i)
            if (std::unique_ptr<Poppler::Page>(doc.page(i))) readable.append(i);
        if (readable.size() != sound.size()) return;
        shown.fill(std::nullopt);
        for (qsizetype k = 0; k < sound.size(); ++k)
            shown[sound[k]] = readable[k];
    }
};

PageCheck::PageCheck(const QString& pdf, const Poppler::Document& doc) : d(std::make_unique<Impl>())
{
    d->readTree(pdf);
    d->mapPages(doc);
}

PageCheck::~PageCheck() = default;

int PageCheck::count() const
{
    return int(d->shown.size());
}

bool PageCheck::lost() const
{
    return d->shown.isEmpty() && !(d->read && d->tree && d->pages.empty());
}

std::optional<int> PageCheck::shown(int index) const
{
    return d->shown.value(index);
}
