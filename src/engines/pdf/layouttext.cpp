#include "engines/pdf/layouttext.h"

#include "core/converterror.h"
#include "engines/pdf/readerrorhooks.h"
#include "engines/pdftext/bidiorder.h"

#include <QFile>
#include <QFileInfo>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

namespace PDFEngine {

LayoutText::LayoutText(const QString& path)
    : m_doc((hookReadErrors(), poppler::document::load_from_file(QFile::encodeName(path).toStdString())))
{
    if (!m_doc || m_doc->is_locked())
        throw ConvertError::failed(QStringLiteral("Couldn’t open %1").arg(QFileInfo(path).fileName()));
    // The page tree is walked now, as TextLayer does, so that its complaints go with no page.
    if (m_doc->pages() > 0) std::unique_ptr<poppler::page>(m_doc->create_page(m_doc->pages() - 1));
}

LayoutText::~LayoutText() = default;

std::optional<QString> LayoutText::page(int index) const
{
    if (index < 0 || index >= m_doc->pages()) return std::nullopt;
    const std::unique_ptr<poppler::page> page(m_doc->create_page(index));
    if (!page) return std::nullopt;
    const std::vector<char> utf8 = page->text(poppler::rectf(), poppler::page::physical_layout).to_utf8();
    QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    // Poppler ends each page with a form feed, a separator between pages.
    if (text.endsWith(QLatin1Char('\f'))) text.chop(1);
    // Its lines of right-to-left script come in the order they are read, wrapped in embedding
    // marks that would turn them round again.
    return PDFText::withoutEmbeddings(text);
}

} // namespace PDFEngine
