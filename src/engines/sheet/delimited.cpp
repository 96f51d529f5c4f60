#include "engines/sheet/sheetengine.h"

namespace SheetEngine {

QList<QStringList> parseDelimited(const QString& text, QChar separator)
{
    const QChar quote(u'"');
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != quote) {
                field += c;
            } else if (i + 1 < size && text.at(i + 1) == quote) {
                field += quote;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == quote && field.isEmpty()) {
            quoted = true;
        } else if (c == separator) {
            row.append(field);
            field.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < size && text.at(i + 1) == u'\n') ++i;
            row.append(field);
            field.clear();
            rows.append(row);
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

QString delimited(const QList<QStringList>& rows, QChar separator)
{
    QString out;
    qsizetype size = 1;
    for (const QStringList& row : rows)
        for (const QString& cell : row)
            size += cell.size() + 1;
    out.reserve(size + size / 8);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0) out += separator;
            const QString& cell = row.at(c);
            if (cell.contains(separator) || cell.contains(u'"') || cell.contains(u'\n') ||
                cell.contains(u'\r')) {
                QString escaped = cell;
                escaped.replace(QLatin1String("\""), QLatin1String("\"\""));
                out += u'"' + escaped + u'"';
            } else {
                out += cell;
            }
        }
        out += u'\n';
    }
    if (rows.isEmpty()) out += u'\n';
    return out;
}

void trim(QList<QStringList>& rows)
{
    for (QStringList& row : rows)
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
}

int columnIndex(const QString& ref)
{
    qint64 value = 0;
    for (const QChar c : ref) {
        if (c < u'A' || c > u'Z') break;
        value = value * 26 + (c.unicode() - u'A' + 1);
        if (value > maxColumns) return maxColumns;
    }
    return value > 0 ? int(value - 1) : 0;
}

} // namespace SheetEngine
