#include "engines/package/ooxml.h"
#include "engines/package/ooxmlparts.h"

#include "core/zip.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

using namespace OOXML::Parts;

constexpr double emuPerPoint = 12700;
constexpr qint64 minSide = 914400;   // one inch
constexpr qint64 maxSide = 51206400; // 56 inches

qint64 slideSide(double points)
{
    return qint64(std::trunc(std::clamp(points * emuPerPoint, double(minSide), double(maxSide))));
}

struct Placement
{
    qint64 x = 0, y = 0, width = 0, height = 0;
};

// The picture fitted into the slide, keeping its aspect ratio, centred; stretched over the whole
// slide when its size can't be read.
Placement place(const QByteArray& png, qint64 cx, qint64 cy)
{
    const auto size = OOXML::pngSize(png);
    if (!size || size->width() <= 0 || size->height() <= 0) return {0, 0, cx, cy};
    // Whole numbers, so that a picture that fills one direction fills it exactly.
    const auto w = qint64(size->width()), h = qint64(size->height());
    qint64 width = cx, height = cy;
    if (cx * h <= cy * w)
        height = cx * h / w;
    else
        width = cy * w / h;
    return {(cx - width) / 2, (cy - height) / 2, width, height};
}

QString namespaces()
{
    return QLatin1String("xmlns:a=\"") + drawingNS + QLatin1String("\" xmlns:r=\"") + relNS +
           QLatin1String("\" xmlns:p=\"") + presentationNS + QLatin1String("\"");
}

const QLatin1String emptyGroup(
    "<p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr><a:xfrm>"
    "<a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/><a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"0\" cy=\"0\"/>"
    "</a:xfrm></p:grpSpPr>");

QString slide(int n, const Placement& at)
{
    return declaration + QLatin1String("<p:sld ") + namespaces() + QLatin1String("><p:cSld><p:spTree>") +
           emptyGroup + QLatin1String("<p:pic><p:nvPicPr><p:cNvPr id=\"2\" name=\"Page ") +
           QString::number(n) +
           QLatin1String(
               "\"/><p:cNvPicPr><a:picLocks noChangeAspect=\"1\"/></p:cNvPicPr><p:nvPr/></p:nvPicPr>"
               "<p:blipFill><a:blip r:embed=\"rId2\"/><a:stretch><a:fillRect/></a:stretch></p:blipFill>"
               "<p:spPr><a:xfrm><a:off x=\"") +
           QString::number(at.x) + QLatin1String("\" y=\"") + QString::number(at.y) +
           QLatin1String("\"/><a:ext cx=\"") + QString::number(at.width) + QLatin1String("\" cy=\"") +
           QString::number(at.height) +
           QLatin1String("\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>"
                         "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sld>");
}

QString slideRelationships(int n)
{
    return relationshipsStart() +
           relationship(QStringLiteral("rId1"), QLatin1String("/slideLayout"),
                        QStringLiteral("../slideLayouts/slideLayout1.xml")) +
           relationship(QStringLiteral("rId2"), QLatin1String("/image"),
                        QLatin1String("../media/image") + QString::number(n) + QLatin1String(".png")) +
           QLatin1String("</Relationships>");
}

QString master()
{
    return declaration + QLatin1String("<p:sldMaster ") + namespaces() +
           QLatin1String("><p:cSld><p:bg><p:bgRef idx=\"1001\"><a:schemeClr val=\"bg1\"/></p:bgRef></p:bg>"
                         "<p:spTree>") +
           emptyGroup +
           QLatin1String(
               "</p:spTree></p:cSld><p:clrMap bg1=\"lt1\" tx1=\"dk1\" bg2=\"lt2\" tx2=\"dk2\" "
               "accent1=\"accent1\" accent2=\"accent2\" accent3=\"accent3\" accent4=\"accent4\" "
               "accent5=\"accent5\" accent6=\"accent6\" hlink=\"hlink\" folHlink=\"folHlink\"/>"
               "<p:sldLayoutIdLst><p:sldLayoutId id=\"2147483649\" r:id=\"rId1\"/></p:sldLayoutIdLst>"
               "<p:txStyles><p:titleStyle/><p:bodyStyle/><p:otherStyle/></p:txStyles></p:sldMaster>");
}

QString layout()
{
    return declaration + QLatin1String("<p:sldLayout ") + namespaces() +
           QLatin1String(" type=\"blank\" preserve=\"1\"><p:cSld name=\"Blank\"><p:spTree>") + emptyGroup +
           QLatin1String(
               "</p:spTree></p:cSld><p:clrMapOvr><a:masterClrMapping/></p:clrMapOvr></p:sldLayout>");
}

QString theme()
{
    const QLatin1String solid("<a:solidFill><a:schemeClr val=\"phClr\"/></a:solidFill>");
    const QString fills = QString(solid) + solid + solid;
    const QLatin1String effect("<a:effectStyle><a:effectLst/></a:effectStyle>");
    const QLatin1String font(
        "<a:latin typeface=\"Helvetica Neue\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>");
    return declaration + QLatin1String("<a:theme xmlns:a=\"") + drawingNS +
           QLatin1String(
               "\" name=\"Tolvane\"><a:themeElements><a:clrScheme name=\"Tolvane\"><a:dk1><a:sysClr "
               "val=\"windowText\" lastClr=\"000000\"/></a:dk1><a:lt1><a:sysClr val=\"window\" "
               "lastClr=\"FFFFFF\"/></a:lt1><a:dk2><a:srgbClr val=\"44546A\"/></a:dk2><a:lt2><a:srgbClr "
               "val=\"E7E6E6\"/></a:lt2><a:accent1><a:srgbClr "
               "val=\"FF5200\"/></a:accent1><a:accent2><a:srgbClr "
               "val=\"ED7D31\"/></a:accent2><a:accent3><a:srgbClr val=\"A5A5A5\"/></a:accent3><a:accent4>"
               "<a:srgbClr val=\"FFC000\"/></a:accent4><a:accent5><a:srgbClr val=\"5B9BD5\"/></a:accent5>"
               "<a:accent6><a:srgbClr val=\"70AD47\"/></a:accent6><a:hlink><a:srgbClr "
               "val=\"0563C1\"/></a:hlink>"
               "<a:folHlink><a:srgbClr val=\"954F72\"/></a:folHlink></a:clrScheme><a:fontScheme "
               "name=\"Tolvane\"><a:majorFont>") +
           font + QLatin1String("</a:majorFont><a:minorFont>") + font +
           QLatin1String("</a:minorFont></a:fontScheme><a:fmtScheme name=\"Tolvane\"><a:fillStyleLst>") +
           fills + QLatin1String("</a:fillStyleLst><a:lnStyleLst><a:ln w=\"6350\">") + solid +
           QLatin1String("</a:ln><a:ln w=\"12700\">") + solid + QLatin1String("</a:ln><a:ln w=\"19050\">") +
           solid + QLatin1String("</a:ln></a:lnStyleLst><a:effectStyleLst>") + effect + effect + effect +
           QLatin1String("</a:effectStyleLst><a:bgFillStyleLst>") + fills +
           QLatin1String("</a:bgFillStyleLst></a:fmtScheme></a:themeElements></a:theme>");
}

} // namespace

namespace OOXML {

void writePPTX(const QList<QByteArray>& slides, const QSizeF& pageSize, const QString& path,
               const std::optional<QString>& title)
{
    const qint64 cx = slideSide(pageSize.width()), cy = slideSide(pageSize.height());
    QMap<QString, QByteArray> parts = docProps(titleFor(path, title), QStringLiteral("Tolvane"));
    QString overrides, ids, relationships;
    for (int i = 0; i < slides.size(); ++i) {
        const int n = i + 1;
        const QString number = QString::number(n), rid = QLatin1String("rId") + QString::number(n + 2);
        parts.insert(QLatin1String("ppt/media/image") + number + QLatin1String(".png"), slides.at(i));
        parts.insert(QLatin1String("ppt/slides/slide") + number + QLatin1String(".xml"),
                     slide(n, place(slides.at(i), cx, cy)).toUtf8());
        parts.insert(QLatin1String("ppt/slides/_rels/slide") + number + QLatin1String(".xml.rels"),
                     slideRelationships(n).toUtf8());
        overrides += override_(
            QLatin1String("/ppt/slides/slide") + number + QLatin1String(".xml"),
            QLatin1String("application/vnd.openxmlformats-officedocument.presentationml.slide+xml"));
        ids += QLatin1String("<p:sldId id=\"") + QString::number(n + 255) + QLatin1String("\" r:id=\"") +
               rid + QLatin1String("\"/>");
        relationships += relationship(rid, QLatin1String("/slide"),
                                      QLatin1String("slides/slide") + number + QLatin1String(".xml"));
    }

    parts.insert(
        QStringLiteral("[Content_Types].xml"),
        (contentTypesStart() + QLatin1String("<Default Extension=\"png\" ContentType=\"image/png\"/>") +
         override_(
             QStringLiteral("/ppt/presentation.xml"),
             QLatin1String(
                 "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml")) +
         override_(
             QStringLiteral("/ppt/slideMasters/slideMaster1.xml"),
             QLatin1String("application/vnd.openxmlformats-officedocument.presentationml.slideMaster+xml")) +
         override_(
             QStringLiteral("/ppt/slideLayouts/slideLayout1.xml"),
             QLatin1String("application/vnd.openxmlformats-officedocument.presentationml.slideLayout+xml")) +
         override_(QStringLiteral("/ppt/theme/theme1.xml"),
                   QLatin1String("application/vnd.openxmlformats-officedocument.theme+xml")) +
         overrides + contentTypesEnd())
            .toUtf8());
    parts.insert(QStringLiteral("_rels/.rels"),
                 packageRelationships(QStringLiteral("ppt/presentation.xml")).toUtf8());
    parts.insert(QStringLiteral("ppt/presentation.xml"),
                 (declaration + QLatin1String("<p:presentation ") + namespaces() +
                  QLatin1String(" saveSubsetFonts=\"1\"><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" "
                                "r:id=\"rId1\"/></p:sldMasterIdLst><p:sldIdLst>") +
                  ids + QLatin1String("</p:sldIdLst><p:sldSz cx=\"") + QString::number(cx) +
                  QLatin1String("\" cy=\"") + QString::number(cy) +
                  QLatin1String("\"/><p:notesSz cx=\"6858000\" cy=\"9144000\"/></p:presentation>"))
                     .toUtf8());
    parts.insert(
        QStringLiteral("ppt/_rels/presentation.xml.rels"),
        (relationshipsStart() +
         relationship(QStringLiteral("rId1"), QLatin1String("/slideMaster"),
                      QStringLiteral("slideMasters/slideMaster1.xml")) +
         relationship(QStringLiteral("rId2"), QLatin1String("/theme"), QStringLiteral("theme/theme1.xml")) +
         relationships + QLatin1String("</Relationships>"))
            .toUtf8());
    parts.insert(QStringLiteral("ppt/slideMasters/slideMaster1.xml"), master().toUtf8());
    parts.insert(QStringLiteral("ppt/slideMasters/_rels/slideMaster1.xml.rels"),
                 (relationshipsStart() +
                  relationship(QStringLiteral("rId1"), QLatin1String("/slideLayout"),
                               QStringLiteral("../slideLayouts/slideLayout1.xml")) +
                  relationship(QStringLiteral("rId2"), QLatin1String("/theme"),
                               QStringLiteral("../theme/theme1.xml")) +
                  QLatin1String("</Relationships>"))
                     .toUtf8());
    parts.insert(QStringLiteral("ppt/slideLayouts/slideLayout1.xml"), layout().toUtf8());
    parts.insert(QStringLiteral("ppt/slideLayouts/_rels/slideLayout1.xml.rels"),
                 (relationshipsStart() +
                  relationship(QStringLiteral("rId1"), QLatin1String("/slideMaster"),
                               QStringLiteral("../slideMasters/slideMaster1.xml")) +
                  QLatin1String("</Relationships>"))
                     .toUtf8());
    parts.insert(QStringLiteral("ppt/theme/theme1.xml"), theme().toUtf8());
    Zip::write(parts, path);
}

} // namespace OOXML
