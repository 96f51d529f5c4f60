#pragma once

// The media judge's bench: the sources made by media-sources.sh, each operation of a row run by the
// program's own work functions, and what each result should be. An operation is written as the
// table of a test names it:
//   "mp4", "mp3", …              the conversion to that format
//   "trim 1 3", "trim fast 1 3"  Trim Video, re-encoded or by stream copy
//   "split 0 2 2 4", "split fast …"  Split Video into those parts
//   "speed 0.5"                  Change Video Speed, the pitch kept
//   "crop", "redact", "mute", "compress", "tag"   Crop, Redact, Remove Audio, Compress, Metadata
//   "join late.mp4"              Join Videos, the row's source first
//   "snapshots 0.5 1.5"          Video Snapshots
//   "trim audio 0.5 2.5", "bleep 1 1.4", "mono", "normalize", "visualize"   the audio tools

#include "mediajudge.h"

#include "core/converterror.h"
#include "core/job.h"
#include "engines/converter.h"
#include "engines/instant/instanttools.h"
#include "engines/media/media.h"
#include "tools/audio/bleep/bleepwork.h"
#include "tools/audio/channels/audiochannelswork.h"
#include "tools/audio/normalize/normalizework.h"
#include "tools/audio/trim/trimaudiowork.h"
#include "tools/audio/visualizer/visualizerwork.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/snapshots/snapshotswork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QHash>
#include <QTemporaryDir>
#include <memory>
#include <span>

namespace Judge {

// A row of a judge's table: a source and what is done to it; in a table of conversions, the
// formats it is converted to, separated by spaces.
struct Row
{
    const char* source;
    const char* operation;
};

// A row that fails today through the known faults `fault` names, separated by "; ": skipped, and
// named as skipped, until the fault is mended and the row moves into its table's rows.
struct KnownFault
{
    const char* fault;
    const char* source;
    const char* operation;
};

// The sources that `rows` and `known` work on, the clips a join adds among them.
inline QStringList sourcesOf(std::span<const Row> rows, std::span<const KnownFault> known = {})
{
    QStringList sources;
    const auto add = [&](const char* source, const QString& operation) {
        sources << source;
        if (operation.startsWith("join ")) sources << operation.mid(5);
    };
    for (const Row& row : rows)
        add(row.source, row.operation);
    for (const KnownFault& k : known)
        add(k.source, k.operation);
    sources.removeDuplicates();
    return sources;
}

// Why a row of `fault` is not judged yet; empty when it is.
inline QString skipped(const QString& fault)
{
    if (fault.isEmpty()) return {};
    return "known fault: " + fault;
}

// Adds the test rows "<source> <operation>" with the columns source, operation and fault: those
// of `rows` (each conversion apart when `conversions`), then those of `known`, which `rows`
// leaves to them.
inline void addRows(std::span<const Row> rows, std::span<const KnownFault> known = {},
                    bool conversions = false)
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    const auto add = [](const QString& source, const QString& operation, const QString& fault) {
        QTest::addRow("%s %s", qPrintable(source), qPrintable(operation)) << source << operation << fault;
    };
    for (const Row& row : rows)
        for (const QString& operation :
             conversions ? QString(row.operation).split(' ') : QStringList{QString(row.operation)})
            if (std::none_of(known.begin(), known.end(), [&](const KnownFault& k) {
                    return row.source == QLatin1String(k.source) && operation == QLatin1String(k.operation);
                }))
                add(row.source, operation, {});
    for (const KnownFault& k : known)
        add(k.source, k.operation, k.fault);
}

// The numbers after the first `skip` words of an operation.
inline QList<double> numbers(const QStringList& words, int skip)
{
    QList<double> out;
    for (qsizetype i = skip; i < words.size(); ++i)
        out << words[i].toDouble();
    return out;
}

inline QList<TimeRange> parts(const QList<double>& n)
{
    QList<TimeRange> out;
    for (qsizetype i = 0; i + 1 < n.size(); i += 2)
        out << TimeRange{n[i], n[i + 1]};
    return out;
}

// The results of `operation` on `file`, in the order they are judged (a split's clips in order).
inline QStringList run(const QString& file, const QString& operation, Job& job)
{
    const QStringList w = operation.split(' ');
    const bool fast = w.value(1) == "fast";
    const QString folder = QFileInfo(file).path();
    if (w[0] == "trim" && w.value(1) == "audio")
        return ToolOps::trimAudio(file, w[2].toDouble(), w[3].toDouble(), job, {});
    if (w[0] == "trim") {
        const QList<double> n = numbers(w, fast ? 2 : 1);
        return ToolOps::trimVideo(file, {n[0], n[1]}, fast, job, {});
    }
    if (w[0] == "split") {
        const QStringList made = ToolOps::splitVideo(file, parts(numbers(w, fast ? 2 : 1)), fast, job, {});
        QStringList clips;
        for (const QString& m : made) {
            QDir dir(m);
            const QStringList names = dir.entryList(QDir::Files, QDir::Name);
            for (const QString& n : names)
                clips << dir.filePath(n);
        }
        return clips;
    }
    if (w[0] == "speed") return ToolOps::speed(file, w[1].toDouble(), true, w[1] + "x", job, {});
    if (w[0] == "crop") return ToolOps::cropVideo(file, {0, 0.4, 1, 0.6}, job, {});
    if (w[0] == "redact")
        return ToolOps::redactVideo(file, {{0.1, 0.1, 0.3, 0.3}}, RedactStyle::black, {}, job, {});
    if (w[0] == "mute") return InstantTools::mute(file, job, {});
    if (w[0] == "compress") return CompressWork::compressFile(file, CompressWork::kind(file), {}, job, {});
    if (w[0] == "tag")
        return MetadataWork::writeFile(file, MetadataWork::Kind::media, false,
                                       {MetaField{"title", "Title", "Edited"}}, false, job);
    if (w[0] == "join") return ToolOps::join({file, QDir(folder).filePath(w[1])}, job, {});
    if (w[0] == "snapshots") return ToolOps::snapshots(file, numbers(w, 1), job, {});
    if (w[0] == "bleep")
        return ToolOps::bleep(file, {BleepRange{{}, w[1].toDouble(), w[2].toDouble()}}, job, {});
    if (w[0] == "mono") return ToolOps::channels(file, false, 100, 100, job, {});
    if (w[0] == "normalize") return ToolOps::normalize(file, LoudnessTarget::podcast, job, {});
    if (w[0] == "visualize")
        return ToolOps::visualize(file, VisualShape::square, VisualStyle::wave, "FF5200", {}, job, {});
    return Converter::convert(file, operation, job, {});
}

class Bench
{
  public:
    // Makes `sources` (and what they need) with the script.
    bool make(const QStringList& sources)
    {
        QProcess script;
        script.start("bash", QStringList{SOURCES_SCRIPT, m_dir.filePath("sources")} + sources);
        return script.waitForFinished(300000) && script.exitCode() == 0;
    }

    // Where the source `name` was made.
    QString sourcePath(const QString& name) const { return m_dir.filePath("sources/" + name); }

    // The complaints about what `operation` makes of `source`; the program's refusal is one.
    QStringList judge(const QString& source, const QString& operation)
    {
        const QString folder = m_dir.filePath(QString::number(++m_rows));
        QDir().mkpath(folder);
        QStringList inputs{source};
        const QStringList w = operation.split(' ');
        if (w[0] == "join") inputs << w[1];
        for (const QString& input : inputs)
            if (!QFile::copy(m_dir.filePath("sources/" + input), QDir(folder).filePath(input)))
                return {"the source " + input + " is missing"};
        Job job({}, {}, 0);
        QStringList results;
        try {
            results = run(QDir(folder).filePath(source), operation, job);
        } catch (const ConvertError& e) {
            return {"refused: " + e.description()};
        }
        const QList<Expected> wanted = expected(source, operation);
        if (results.size() != wanted.size())
            return {QStringLiteral("it made %1 results instead of %2 (%3)")
                        .arg(results.size())
                        .arg(wanted.size())
                        .arg(job.notes().join(" | "))};
        QStringList complaints;
        for (qsizetype i = 0; i < results.size(); ++i)
            for (const QString& c : verdict(read(results[i]), wanted[i], job.notes()))
                complaints << (results.size() > 1 ? QStringLiteral("result %1: ").arg(i + 1) : QString()) + c;
        if (!complaints.isEmpty()) complaints << "notes: " + job.notes().join(" | ");
        return complaints;
    }

  private:
    const Source& source(const QString& name)
    {
        auto& known = m_sources[name];
        if (!known) known = std::make_shared<Source>(m_dir.filePath("sources/" + name));
        return *known;
    }

    QList<Expected> expected(const QString& name, const QString& operation)
    {
        const Source& src = source(name);
        const QString ext = QFileInfo(name).suffix();
        const QStringList w = operation.split(' ');
        const bool fast = w.value(1) == "fast";
        const bool film = !src.reading.streams("video").isEmpty();
        Expected e;
        e.pieces = {Piece{&src}};
        e.ext = ext;
        e.picture = film;
        e.sound = !src.reading.streams("audio").isEmpty();
        if (w.size() == 1 && w[0] != "crop" && w[0] != "redact" && w[0] != "mute" && w[0] != "compress" &&
            w[0] != "tag" && w[0] != "mono" && w[0] != "normalize" && w[0] != "visualize") {
            e.ext = operation;
            e.picture = film && !Media::isAudioTarget(operation);
            e.sound = e.sound && operation != "gif";
        } else if (w[0] == "trim" && w[1] == "audio") {
            e.pieces[0].from = w[2].toDouble();
            e.pieces[0].to = w[3].toDouble();
            e.stored = true;
        } else if (w[0] == "trim" || w[0] == "split") {
            QList<Expected> clips;
            for (const TimeRange& r : parts(numbers(w, fast ? 2 : 1))) {
                clips << e;
                clips.last().pieces[0] = Piece{&src, r.start, r.end, 1, fast};
            }
            return clips;
        } else if (w[0] == "speed") {
            e.pieces[0].speed = w[1].toDouble();
        } else if (w[0] == "crop") {
            e.height = 0.6;
        } else if (w[0] == "redact") {
            e.tagsKept = e.coversKept = false;
        } else if (w[0] == "mute") {
            e.sound = false;
        } else if (w[0] == "compress") {
            e.ext = CompressWork::resultExtension(CompressWork::kind(name), name);
        } else if (w[0] == "tag") {
            e.tags.insert("title", "Edited");
        } else if (w[0] == "join") {
            e.ext = "mp4";
            e.pieces << Piece{&source(w[1])};
        } else if (w[0] == "snapshots") {
            QList<Expected> shots;
            for (double at : numbers(w, 1)) {
                shots << e;
                shots.last().still = true;
                shots.last().pieces[0].from = at;
            }
            return shots;
        } else if (w[0] == "bleep") {
            e.quiet << std::pair{w[1].toDouble(), w[2].toDouble()};
            e.stored = true;
        } else if (w[0] == "mono" || w[0] == "normalize") {
            e.stored = true;
            e.channels = w[0] == "mono" ? 1 : 0;
        } else if (w[0] == "visualize") {
            e.ext = "mp4";
            e.picture = e.drawing = true;
            e.coversKept = false;
        }
        return {e};
    }

    QTemporaryDir m_dir;
    int m_rows = 0;
    QHash<QString, std::shared_ptr<Source>> m_sources;
};

// Judges the current row of a table that addRows() made: skipped while its fault stands, else
// failing with every complaint the judge has of its result. The last call of a test function.
inline void judgeRow(Bench& bench)
{
    QFETCH(QString, source);
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    if (const QString why = skipped(fault); !why.isEmpty()) QSKIP(qPrintable(why));
    const QStringList complaints = bench.judge(source, operation);
    QVERIFY2(complaints.isEmpty(), qPrintable(complaints.join("\n")));
}

} // namespace Judge
