#include "engines/metadata/metafield.h"

namespace MetadataEngine {

QList<MetaField> changedFields(const QList<MetaField>& fields, const QList<MetaField>& original)
{
    QList<MetaField> changed;
    for (const MetaField& field : fields) {
        const auto old = std::find_if(original.begin(), original.end(),
                                      [&](const MetaField& o) { return o.key == field.key; });
        if (old == original.end() || old->value != field.value) changed << field;
    }
    return changed;
}

QStringList keywordList(const QString& text)
{
    QStringList words;
    for (QString piece : text.split(QLatin1Char(','))) {
        while (!piece.isEmpty() && (piece.front() == ' ' || piece.front() == '\t'))
            piece.remove(0, 1);
        while (!piece.isEmpty() && (piece.back() == ' ' || piece.back() == '\t'))
            piece.chop(1);
        if (!piece.isEmpty()) words << piece;
    }
    return words;
}

} // namespace MetadataEngine
