#include "engines/document/fontsize.h"

#include <QMap>
#include <QTextBlock>
#include <QTextDocument>
#include <cmath>

namespace Doc {

double pointSize(const QTextCharFormat& format, const QTextDocument& document)
{
    const QFont font = format.font().resolve(document.defaultFont());
    if (font.pointSizeF() > 0) return font.pointSizeF();
    if (font.pixelSize() > 0) return font.pixelSize() * 0.75;
    return 12;
}

double bodyFontSize(const QTextDocument& document)
{
    QMap<long, qsizetype> counts;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            counts[std::lround(pointSize(it.fragment().charFormat(), document))] += it.fragment().length();
    long body = 12;
    qsizetype most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            body = it.key();
        }
    return double(body);
}

} // namespace Doc
