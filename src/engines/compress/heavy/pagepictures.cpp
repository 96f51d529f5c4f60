#include "engines/compress/heavy/pagepictures.h"

#include "core/checkedfile.h"
#include "core/converterror.h"

#include <QSize>

namespace {

// Objects: 1 the catalog, 2 the page tree, then per page its dictionary, contents and picture.
int pageObject(int index)
{
    return 3 + 3 * index;
}

QByteArray number(double v)
{
    return QByteArray::number(v, 'f', 3);
}

} // namespace

PagePictures::PagePictures(const QString& path, int pages)
    : m_file(std::make_unique<CheckedFile>(path, CheckedFile::Existing::refuse)),
      m_offsets(2 + 3 * pages, -1), m_pages(pages)
{
    const QByteArray header("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    m_file->write(header);
    m_written = header.size();
}

PagePictures::~PagePictures() = default;

void PagePictures::object(int number, const QByteArray& body, const QByteArray& stream)
{
    m_offsets[number - 1] = m_written;
    QByteArray out = QByteArray::number(number) + " 0 obj\n" + body;
    if (!stream.isNull()) out += "\nstream\n";
    m_file->write(out);
    if (!stream.isNull()) m_file->write(stream);
    const QByteArray end = stream.isNull() ? QByteArray("\nendobj\n") : QByteArray("\nendstream\nendobj\n");
    m_file->write(end);
    m_written += out.size() + stream.size() + end.size();
}

void PagePictures::add(const QByteArray& jpeg, const QSize& pixels, const QSizeF& points)
{
    if (m_added >= m_pages) throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
    const int page = pageObject(m_added++);
    const QByteArray w = number(points.width()), h = number(points.height());
    const QByteArray contents = "q " + w + " 0 0 " + h + " 0 0 cm /Im0 Do Q";
    object(page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + w + " " + h +
                     "] /Resources << /XObject << /Im0 " + QByteArray::number(page + 2) +
                     " 0 R >> >> /Contents " + QByteArray::number(page + 1) + " 0 R >>");
    object(page + 1, "<< /Length " + QByteArray::number(contents.size()) + " >>", contents);
    object(page + 2,
           "<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(pixels.width()) + " /Height " +
               QByteArray::number(pixels.height()) +
               " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Filter /DCTDecode /Length " +
               QByteArray::number(jpeg.size()) + " >>",
           jpeg);
}

void PagePictures::finish()
{
    if (m_added != m_pages) throw ConvertError::failed(QStringLiteral("Couldn’t write the PDF"));
    QByteArray kids;
    for (int i = 0; i < m_pages; ++i)
        kids += QByteArray::number(pageObject(i)) + " 0 R ";
    object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(m_pages) + " >>");
    object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    QByteArray xref = "xref\n0 " + QByteArray::number(m_offsets.size() + 1) + "\n0000000000 65535 f \n";
    for (qint64 offset : m_offsets)
        xref += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    xref += "trailer\n<< /Size " + QByteArray::number(m_offsets.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
            QByteArray::number(m_written) + "\n%%EOF\n";
    m_file->write(xref);
    m_file->finish();
}
