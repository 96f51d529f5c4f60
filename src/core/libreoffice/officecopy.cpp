#include "core/libreoffice/officecopy.h"

#include "core/archive/partreader.h"
#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/fmt.h"
#include "core/job.h"
#include "core/libreoffice/officelinks.h"
#include "core/libreoffice/officepicture.h"
#include "core/output.h"
#include "core/svgdrawing.h"
#include "core/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>
#include <unistd.h>

namespace {

// The bounds of what unpacking a document may take.
const ExtractLimits documentLimits{qint64(1) << 30, 100000};
// Making a part harmless takes about this many times its size: its bytes, their text, the
// parser's copy, the result and its compressed form.
constexpr qint64 holdFactor = 6;
// Enough of a part to tell whether it may be a drawing (SvgDrawing::mayBe looks no further).
constexpr qsizetype headSize = 4096;
// A real mimetype names a format in a few dozen bytes.
constexpr qint64 maxMimetype = 1024;

// The part that holds the document's body: the one the package's relationships name as the
// office document, or else OpenDocument's content.
QString bodyPart(const QByteArray& relationships)
{
    QXmlStreamReader reader(relationships);
    reader.setNamespaceProcessing(false);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("Relationship") &&
            attributes.value(QLatin1String("Type")).endsWith(QLatin1String("/officeDocument"))) {
            QString target = QDir::cleanPath(attributes.value(QLatin1String("Target")).toString());
            while (target.startsWith(QLatin1Char('/')))
                target.remove(0, 1);
            return target;
        }
    }
    return QStringLiteral("content.xml");
}

bool isMarkup(const QString& name)
{
    for (const char* suffix : {".xml", ".rels", ".vml"})
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) return true;
    return false;
}

struct Package
{
    QString document, body = QStringLiteral("content.xml");
    bool encrypted = false;
    std::optional<QByteArray> mimetype;
    QHash<QString, int> last; // where each name comes last among the entries
};

// The part with its links outside the package left out. A part that can't be read (an empty one
// among them) is emptied: left as it is, a suite that reads what it can of it might follow its
// links. Only a body that can't be read leaves no document; Visual Markup parts, often not
// well-formed, and encrypted parts, which open only with a password, are kept as they are.
QByteArray cleanedPart(const QString& name, const QByteArray& bytes, const Package& package)
{
    const std::optional<QByteArray> cleaned = name.endsWith(QLatin1String(".rels"), Qt::CaseInsensitive)
                                                  ? OfficeLinks::relationships(bytes, name)
                                                  : OfficeLinks::part(bytes, name);
    if (cleaned) return *cleaned;
    if (package.encrypted || name.endsWith(QLatin1String(".vml"), Qt::CaseInsensitive)) return bytes;
    if (name == package.body)
        throw ConvertError::failed(
            QStringLiteral("%1 is damaged: its part “%2” can’t be read").arg(package.document, name));
    return {};
}

// A part read whole, holding its share of the budget until it is written.
struct Held
{
    QByteArray bytes;
    MemoryBudget::Share share;
};

class Repacker
{
  public:
    Repacker(const QString& input, const Job* job, MemoryBudget& budget)
        : m_input(input), m_job(job), m_budget(budget), m_limit(budget.capacity() / holdFactor)
    {
        m_package.document = QFileInfo(input).fileName();
    }

    // Reads what the parts' treatment depends on first: which part is the body, whether the
    // package is encrypted, its mimetype, and which copy of a name comes last.
    void survey()
    {
        PartReader reader(m_input, documentLimits, m_job);
        while (const std::optional<QString> name = reader.next()) {
            m_package.last.insert(*name, reader.index());
            if (*name == QLatin1String("_rels/.rels")) {
                m_package.body = bodyPart(whole(reader, *name).bytes);
            } else if (*name == QLatin1String("META-INF/manifest.xml")) {
                m_package.encrypted = whole(reader, *name).bytes.contains("encryption-data");
            } else if (*name == QLatin1String("mimetype")) {
                const qint64 size = reader.declaredSize();
                m_package.mimetype =
                    size >= 0 && size <= maxMimetype ? std::optional(reader.rest()) : std::nullopt;
            }
        }
    }

    void write(ZipWriter& out)
    {
        if (m_package.mimetype) out.add(QStringLiteral("mimetype"), *m_package.mimetype, false);
        PartReader reader(m_input, documentLimits, m_job);
        while (const std::optional<QString> name = reader.next()) {
            // A later copy of a name wins, as it would in an unpacked folder.
            if (m_package.last.value(*name) != reader.index()) continue;
            if (m_package.mimetype && *name == QLatin1String("mimetype")) continue;
            if (isMarkup(*name)) {
                const Held held = whole(reader, *name);
                out.add(*name, cleanedPart(*name, held.bytes, m_package), true);
                continue;
            }
            QByteArray head;
            for (QByteArrayView piece; head.size() < headSize && !(piece = reader.piece()).isEmpty();)
                head += piece;
            if (!m_package.encrypted && SvgDrawing::mayBe(head)) {
                const Held held = whole(reader, *name, head);
                out.add(*name, OfficePicture::confined(held.bytes), true);
                continue;
            }
            out.add(*name, [&reader, head, started = false]() mutable {
                if (started) return reader.piece();
                started = true;
                return head.isEmpty() ? reader.piece() : QByteArrayView(head);
            });
        }
    }

  private:
    [[noreturn]] void tooLarge(const QString& name) const
    {
        throw ConvertError::failed(
            QStringLiteral("%1 is too large to open safely: its part “%2” holds more than %3")
                .arg(m_package.document, name, Fmt::byteCount(m_limit)));
    }

    // The current part whole, `head` being what was read of it already, within the budget: its
    // share is taken before the rest is read, waiting for other copies to give theirs back.
    Held whole(PartReader& reader, const QString& name, const QByteArray& head = {})
    {
        const qint64 declared = reader.declaredSize();
        if (declared > m_limit) tooLarge(name);
        std::optional<MemoryBudget::Share> share =
            m_budget.take(holdFactor * (declared >= 0 ? declared : m_limit),
                          [this] { return m_job && m_job->isCancelled(); });
        if (!share && m_job) m_job->throwIfCancelled();
        if (!share) tooLarge(name);
        Held held{head, std::move(*share)};
        held.bytes.reserve(qsizetype(declared >= 0 ? declared : 0));
        for (QByteArrayView piece = reader.piece(); !piece.isEmpty(); piece = reader.piece()) {
            held.bytes += piece;
            if (held.bytes.size() > m_limit) tooLarge(name);
        }
        return held;
    }

    const QString m_input;
    const Job* m_job;
    MemoryBudget& m_budget;
    const qint64 m_limit;
    Package m_package;
};

void repack(const QString& input, const QString& copy, const Job* job, MemoryBudget& budget)
{
    Repacker repacker(input, job, budget);
    repacker.survey();
    const QByteArray encoded = QFile::encodeName(copy);
    try {
        CheckedFile file(copy, CheckedFile::Existing::refuse);
        try {
            ZipWriter out(file);
            repacker.write(out);
            out.finish();
        } catch (...) {
            ::unlink(encoded.constData());
            throw;
        }
    } catch (const ConvertError& e) {
        throw Output::explained(e, QFileInfo(copy).path());
    }
}

} // namespace

namespace OfficeCopy {

QString make(const QString& input, const QString& folder, const Job* job, MemoryBudget& budget)
{
    const QFileInfo info(input);
    if (info.isDir()) return info.absoluteFilePath();
    const QString copy = folder + QLatin1Char('/') + info.fileName();
    QFile file(input);
    if (!file.open(QIODevice::ReadOnly))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read “%1”: %2").arg(info.fileName(), file.errorString()));
    const QByteArray head = file.peek(8);
    if (head.startsWith("PK\x03\x04")) {
        repack(input, copy, job, budget);
    } else if (head.startsWith("{\\rtf")) {
        Output::writeFile(copy, OfficeLinks::rtf(file.readAll()));
    } else if (!file.copy(copy)) {
        throw ConvertError::failed(
            QStringLiteral("Couldn’t write a private copy of the document: %1").arg(file.errorString()));
    }
    return copy;
}

} // namespace OfficeCopy
