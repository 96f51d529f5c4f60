#include "engines/document/docxbody.h"

#include <QTextFragment>
#include <QTextImageFormat>

namespace {

// Pictures are placed in English Metric Units, 9525 to a CSS pixel.
constexpr double emuPerPixel = 9525;

QString inlineDrawing(const QString& relationship, int id, const QSizeF& size)
{
    const QString cx = QString::number(qRound64(size.width() * emuPerPixel));
    const QString cy = QString::number(qRound64(size.height() * emuPerPixel));
    const QString n = QString::number(id);
    return QLatin1String("<w:r><w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" "
                         "distR=\"0\"><wp:extent cx=\"") +
           cx + QLatin1String("\" cy=\"") + cy + QLatin1String("\"/><wp:docPr id=\"") + n +
           QLatin1String("\" name=\"Picture ") + n +
           QLatin1String(
               "\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
               "picture\"><pic:pic><pic:nvPicPr><pic:cNvPr id=\"") +
           n + QLatin1String("\" name=\"Picture ") + n +
           QLatin1String("\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip r:embed=\"") + relationship +
           QLatin1String(
               "\"/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" "
               "y=\"0\"/><a:ext cx=\"") +
           cx + QLatin1String("\" cy=\"") + cy +
           QLatin1String("\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr></pic:pic>"
                         "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>");
}

} // namespace

// One drawing for each object character of the fragment; a picture that can't be found leaves
// nothing.
QString DocxBody::pictureRun(const QTextFragment& fragment)
{
    const QTextImageFormat format = fragment.charFormat().toImageFormat();
    const QString name = format.name();
    auto cached = m_pictures.constFind(name);
    if (cached == m_pictures.cend()) cached = m_pictures.insert(name, Doc::picture(m_document, name));
    const std::optional<Doc::Picture>& picture = *cached;
    if (!picture) return {};

    auto id = m_mediaIds.constFind(name);
    if (id == m_mediaIds.cend()) {
        const QString n = QString::number(m_media.size() + 1);
        m_media.append({QLatin1String("rImage") + n,
                        QLatin1String("media/image") + n + QLatin1Char('.') + picture->extension,
                        picture->bytes});
        id = m_mediaIds.insert(name, m_media.last().id);
    }
    const QSizeF size = Doc::shownSize(format, picture->size, m_textWidth / 0.75);
    QString out;
    for (int i = 0; i < fragment.length(); ++i)
        out += inlineDrawing(*id, ++m_drawings, size);
    return out;
}
