#include "engines/media/assscript.h"

#include "engines/media/assoverrides.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

// The fields of ffmpeg's own order for events, which it writes whatever the Format line says.
const QStringList fixedOrder = {
    QStringLiteral("Layer"),  QStringLiteral("Start"),   QStringLiteral("End"),     QStringLiteral("Style"),
    QStringLiteral("Name"),   QStringLiteral("MarginL"), QStringLiteral("MarginR"), QStringLiteral("MarginV"),
    QStringLiteral("Effect"), QStringLiteral("Text")};

QStringList namesOf(const QString& formatLine)
{
    QStringList names = formatLine.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
    for (QString& name : names)
        name = name.trimmed();
    return names;
}

// Where the field `name` stands among `names`, whatever its case; -1 if it is not there.
int indexOf(const QStringList& names, const QString& name)
{
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

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
    const QStringList names = namesOf(formatLine);
    const int start = indexOf(names, QStringLiteral("Start"));
    const int end = indexOf(names, QStringLiteral("End"));
    if (start < 0 || end < 0 || names.size() < 3) return {};
    return {int(names.size()), start, end};
}

// The events' Format line: the first line after "[Events]" that starts with "Format:"; none when
// the header has no such line (the styles' Format line is not one).
QString eventsFormat(const QString& header)
{
    const QStringList lines = header.split(QLatin1Char('\n'));
    qsizetype i = 0;
    while (i < lines.size() &&
           lines[i].trimmed().compare(QLatin1String("[Events]"), Qt::CaseInsensitive) != 0)
        ++i;
    for (++i; i < lines.size(); ++i)
        if (lines[i].startsWith(QLatin1String("Format:"), Qt::CaseInsensitive)) return lines[i];
    return {};
}

Fields fieldsIn(const QString& header)
{
    const QString format = eventsFormat(header);
    return format.isEmpty() ? Fields{} : fieldsOf(format);
}

// A Dialogue line's fields after "Dialogue:", `count` of them: the text, the last, may hold commas
// of its own. Empty when the line holds fewer.
QStringList split(const QString& line, int count)
{
    QStringList values = line.section(QLatin1Char(':'), 1).split(QLatin1Char(','));
    if (values.size() < count) return {};
    const QString rest = values.mid(count - 1).join(QLatin1Char(','));
    return values.mid(0, count - 1) << rest;
}

// The values of fields `names` put in ffmpeg's order; a field they lack is left empty, a layer or
// margin 0.
QStringList inFixedOrder(const QStringList& values, const QStringList& names)
{
    QStringList out;
    for (const QString& field : fixedOrder) {
        const bool layer = field == QLatin1String("Layer");
        int at = indexOf(names, field);
        if (at < 0 && layer) at = indexOf(names, QStringLiteral("Marked"));
        QString value = at < 0 ? QString() : layer ? values[at].trimmed() : values[at];
        if (layer && value.contains(QLatin1Char('='))) value.clear(); // the older "Marked=0"
        if (value.isEmpty() && (layer || field.startsWith(QLatin1String("Margin"))))
            value = QStringLiteral("0");
        out << value;
    }
    return out;
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

Script parse(const QString& text, Source source)
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
    QStringList names = fixedOrder;
    // ffmpeg writes the events it read in its own order, and passes on the ones it could not read
    // (those whose second and third fields aren't times) as they were; where that differs from
    // the Format line's order, every event is put in ffmpeg's order and the Format line says so.
    bool toFixed = false;
    for (++i; i < lines.size() && !isSection(lines[i]); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(QLatin1String("Format:"), Qt::CaseInsensitive)) {
            fields = fieldsOf(line);
            names = namesOf(line);
            toFixed = source == Source::Ffmpeg && (fields.start != 1 || fields.end != 2);
            script.header +=
                (toFixed ? QStringLiteral("Format: ") + fixedOrder.join(QStringLiteral(", ")) : line) +
                QLatin1Char('\n');
            continue;
        }
        if (!line.startsWith(QLatin1String("Dialogue:"), Qt::CaseInsensitive)) continue;
        QStringList values;
        if (toFixed) {
            values = split(line, int(fixedOrder.size()));
            if (values.isEmpty() || !seconds(values[1]) || !seconds(values[2])) {
                values = split(line, fields.count);
                if (!values.isEmpty()) values = inFixedOrder(values, names);
            }
        } else {
            values = split(line, fields.count);
        }
        if (values.isEmpty()) continue;
        const Fields at = toFixed ? Fields{} : fields;
        const auto start = seconds(values[at.start]);
        const auto end = seconds(values[at.end]);
        if (!start || !end) continue;
        values.removeAt(std::max(at.start, at.end));
        values.removeAt(std::min(at.start, at.end));
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
