#include "core/archive/partreader.h"

#include "core/archive/archiveinput.h"
#include "core/archive/archivenames.h"
#include "core/archive/entryreader.h"
#include "core/archive/libarchive.h"
#include "core/job.h"

#include <QFile>

namespace {

using namespace ArchiveNames;

constexpr qsizetype zerosSize = 64 * 1024;

} // namespace

PartReader::PartReader(const QString& archive, const ExtractLimits& limits, const Job* job)
    : m_input(std::make_unique<ArchiveInput>(archive, limits, 64 * 1024)), m_job(job)
{
}

PartReader::~PartReader() = default;

std::optional<QString> PartReader::next()
{
    const LibArchive& lib = LibArchive::get();
    // Passing over the rest checks it as reading would not: libarchive skips what is left.
    if (m_entry && lib.readDataSkip(m_input->get()) < ARCHIVE_WARN)
        m_input->refuse(errorText(m_input->get()));
    m_entry.reset();
    while (archive_entry* entry = m_input->next()) {
        ++m_index;
        const QByteArray name = m_input->entryName(entry);
        const Components parts = split(name);
        if (const auto why = escapes(name, parts)) m_input->refuse(*why);
        const bool regular = lib.entryFiletype(entry) == AE_IFREG && !lib.entryHardlink(entry) &&
                             !lib.entryHardlinkUtf8(entry);
        if (!regular || parts.isEmpty()) {
            if (lib.readDataSkip(m_input->get()) < ARCHIVE_WARN) m_input->refuse(errorText(m_input->get()));
            continue;
        }
        m_declared = lib.entrySizeIsSet(entry) ? lib.entrySize(entry) : -1;
        m_at = m_gap = 0;
        m_pending = {};
        ArchiveInput* input = m_input.get();
        m_entry = std::make_unique<EntryReader>(input->get(), input->name(), name, m_declared,
                                                [input](qint64 bytes) { input->countUnpacked(bytes); });
        return QFile::decodeName(parts.join('/'));
    }
    return std::nullopt;
}

QByteArrayView PartReader::piece()
{
    static const QByteArray zeros(zerosSize, '\0');
    if (m_job) m_job->throwIfCancelled();
    if (m_gap > 0) {
        const qsizetype n = qsizetype(std::min<qint64>(m_gap, zerosSize));
        m_gap -= n;
        m_at += n;
        return QByteArrayView(zeros.constData(), n);
    }
    if (!m_pending.isEmpty()) {
        m_at += m_pending.size();
        return std::exchange(m_pending, {});
    }
    while (m_entry) {
        const std::optional<EntryReader::Block> block = m_entry->next();
        if (!block) {
            m_entry.reset();
            break;
        }
        const QByteArrayView data(static_cast<const char*>(block->data), qsizetype(block->size));
        if (data.isEmpty()) continue;
        // Sparse data: the gap before the block reads as zeros, and counts as unpacked.
        if (block->offset > m_at) {
            m_gap = block->offset - m_at;
            m_input->countUnpacked(m_gap);
            m_pending = data;
            return piece();
        }
        m_at += data.size();
        return data;
    }
    return {};
}

QByteArray PartReader::rest()
{
    QByteArray bytes;
    if (m_declared > 0) bytes.reserve(qsizetype(m_declared - m_at));
    for (QByteArrayView data = piece(); !data.isEmpty(); data = piece())
        bytes.append(data);
    return bytes;
}
