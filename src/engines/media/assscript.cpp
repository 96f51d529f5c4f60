#include "engines/media/assscript.h"

#include "engines/media/assoverrides.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

// Where the Start and End fields stand in the events' Format line; the usual order when it
// names none.
struct Fields
{
    int count = 10;
    int start = 1;
    int end = 2;
};

Fields fieldsOf(const QString& formatLine)
{
    Fields f;
    const QStringList names = formatLine.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
    int start = -1, end = -1;
    for (int i = 0; i < names.size(); ++i) {
        const QString name = names[i].trimmed();
        if (name.compare(QLatin1String("Start"), Qt::CaseInsensitive) == 0) start = i;
        if (name.compare(QLatin1String("End"), Qt::CaseInsensitive) == 0) end = i;
    }
    if (start < 0 || end < 0 || start == end || names.size() < 3) return f;
    return {int(names.size()), start, end};
}

// The fields of the events' Format line, the last line of `header` that starts with "Format:".
Fields fieldsIn(const QString& header)
{
    const qsizetype format = header.lastIndexOf(QLatin1String("\nFormat:"), -1, Qt::CaseInsensitive);
    return format < 0 ? Fields{} : fieldsOf(header.mid(format + 1).section(QLatin1Char('\n'), 0, 0));
}

// An event's text (its Dialogue line without the times) with the override tags of its Text
// field, the last of `fields`, retimed.
QString retimed(const QString& event, const Fields& fields, double lead, double speed)
{
    qsizetype text = 0;
    for (int commas = fields.count - 3; commas > 0; --commas) {
        const qsizetype comma = event.indexOf(QLatin1Char(','), text);
        if (comma < 0) return event;
        text = comma + 1;
    }
    return event.left(text) + AssOverrides::retimed(event.mid(text), lead, speed);
}

std::optional<double> seconds(const QString& text)
{
    static const QRegularExpression time(
        QStringLiteral(R"(^\s*(\d+):(\d{1,2}):(\d{1,2})(?:\.(\d{1,3}))?\s*$)"));
    const QRegularExpressionMatch m = time.match(text);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toInt() +
           m.captured(4).leftJustified(3, QLatin1Char('0')).toInt() / 1000.0;
}

QString stamp(double t)
{
    const qint64 cs = std::llround(std::max(0.0, t) * 100);
    return QStringLiteral("%1:%2:%3.%4")
        .arg(cs / 360000)
        .arg(cs / 6000 % 60, 2, 10, QLatin1Char('0'))
        .arg(cs / 100 % 60, 2, 10, QLatin1Char('0'))
        .arg(cs % 100, 2, 10, QLatin1Char('0'));
}

bool isSection(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char('['));
}

} // namespace

namespace AssScript {

Script parse(const QString& text)
{
    QString all = text;
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (all.startsWith(QChar(0xfeff))) all.remove(0, 1);
    const QStringList lines = all.split(QLatin1Char('\n'));
    Script script;
    int i = 0;
    for (; i < lines.size(); ++i) {
        script.header += lines[i] + QLatin1Char('\n');
        if (lines[i].trimmed().compare(QLatin1String("[Events]"), Qt::CaseInsensitive) == 0) break;
    }
    if (i == lines.size()) return {};
    Fields fields;
    for (++i; i < lines.size() && !isSection(lines[i]); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(QLatin1String("Format:"), Qt::CaseInsensitive)) {
            script.header += line + QLatin1Char('\n');
            fields = fieldsOf(line);
            continue;
        }
        if (!line.startsWith(QLatin1String("Dialogue:"), Qt::CaseInsensitive)) continue;
        // The text, the last field, may hold commas of its own.
        QStringList values = line.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
        if (values.size() < fields.count) continue;
        const QString rest = values.mid(fields.count - 1).join(QLatin1Char(','));
        values = values.mid(0, fields.count - 1) << rest;
        const auto start = seconds(values[fields.start]);
        const auto end = seconds(values[fields.end]);
        if (!start || !end) continue;
        values.removeAt(std::max(fields.start, fields.end));
        values.removeAt(std::min(fields.start, fields.end));
        values.first() = values.first().trimmed();
        script.events << SubtitleCues::Cue{*start, *end, values.join(QLatin1Char(','))};
    }
    return script;
}

QString write(const Script& script)
{
    const Fields fields = fieldsIn(script.header);
    QString out = script.header;
    for (const SubtitleCues::Cue& e : script.events) {
        QStringList values = e.text.split(QLatin1Char(','));
        const QString rest = values.mid(fields.count - 3).join(QLatin1Char(','));
        values = values.mid(0, fields.count - 3) << rest;
        const bool startFirst = fields.start < fields.end;
        values.insert(std::min(fields.start, fields.end), stamp(startFirst ? e.start : e.end));
        values.insert(std::max(fields.start, fields.end), stamp(startFirst ? e.end : e.start));
        out += QStringLiteral("Dialogue: ") + values.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return out;
}

QList<SubtitleCues::Cue> cut(const Script& script, double from, double to, double shortest)
{
    const Fields fields = fieldsIn(script.header);
    QList<SubtitleCues::Cue> out;
    for (const SubtitleCues::Cue& e : script.events)
        for (SubtitleCues::Cue c : SubtitleCues::cut({e}, from, to, shortest)) {
            c.text = retimed(e.text, fields, from - e.start, 1);
            out << c;
        }
    return out;
}

QList<SubtitleCues::Cue> scaled(const Script& script, double speed)
{
    const Fields fields = fieldsIn(script.header);
    QList<SubtitleCues::Cue> out = SubtitleCues::scaled(script.events, speed);
    for (SubtitleCues::Cue& c : out)
        c.text = retimed(c.text, fields, 0, speed);
    return out;
}

} // namespace AssScript
