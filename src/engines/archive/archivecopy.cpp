#include "engines/archive/archivecopy.h"

#include "core/archive/archiveinput.h"
#include "core/archive/archivenames.h"
#include "core/archive/entryreader.h"
#include "core/archive/libarchive.h"
#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/job.h"
#include "engines/archive/gzip.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QList>

#include <ctime>
#include <grp.h>
#include <memory>
#include <optional>
#include <pwd.h>
#include <unistd.h>

namespace {

using namespace ArchiveNames;

// What the result holds so far, by path, standing in for the unpacked folder of the extractor.
struct Node
{
    int type = AE_IFREG;
    QByteArray link;       // a symbolic link's target
    bool implicit = false; // a folder made for the entries inside it, with no entry of its own
    bool written = true;   // false for what is left out of the result
};

class Tree
{
  public:
    const Node* find(const Components& parts) const
    {
        const auto it = m_nodes.constFind(parts.join('/'));
        return it == m_nodes.cend() ? nullptr : &*it;
    }
    void add(const Components& parts, const Node& node) { m_nodes.insert(parts.join('/'), node); }

    // Walks `pending` from the top the way the kernel would, following every link on the way,
    // and tells whether the walk stays inside. Missing items are walked by name.
    bool staysInside(Components pending) const
    {
        Components resolved;
        int hops = 0;
        while (!pending.isEmpty()) {
            const QByteArray part = pending.takeFirst();
            if (part == "..") {
                if (resolved.isEmpty()) return false;
                resolved.removeLast();
                continue;
            }
            resolved.append(part);
            const Node* node = find(resolved);
            if (!node || node->type != AE_IFLNK) continue;
            if (++hops > maxLinkHops || node->link.isEmpty() || node->link.startsWith('/')) return false;
            resolved.removeLast();
            pending = split(node->link) + pending;
        }
        return true;
    }

    bool passesThroughLink(const Components& folders) const
    {
        for (qsizetype i = 1; i <= folders.size(); ++i) {
            const Node* node = find(folders.mid(0, i));
            if (node && node->type == AE_IFLNK) return true;
        }
        return false;
    }

    // Every link of the finished tree, by path.
    QList<QByteArray> links() const
    {
        QList<QByteArray> out;
        for (auto it = m_nodes.cbegin(); it != m_nodes.cend(); ++it)
            if (it->type == AE_IFLNK) out.append(it.key());
        return out;
    }

  private:
    QHash<QByteArray, Node> m_nodes;
};

// The owner recorded for every entry: the user running the conversion, as packing the folder
// they unpacked would record.
struct Owner
{
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();
    QByteArray user = userName(uid);
    QByteArray group = groupName(gid);

    static QByteArray userName(uid_t uid)
    {
        char buffer[4096];
        passwd entry;
        passwd* found = nullptr;
        return ::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found
                   ? QByteArray(entry.pw_name)
                   : QByteArray();
    }

    static QByteArray groupName(gid_t gid)
    {
        char buffer[4096];
        ::group entry;
        ::group* found = nullptr;
        return ::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found
                   ? QByteArray(entry.gr_name)
                   : QByteArray();
    }
};

// Where the written archive's bytes go: the output file, through the parallel gzip writer for
// "gz". Errors are kept for the caller, since they cannot cross libarchive.
class Sink
{
  public:
    Sink(const QString& output, bool gzip)
    {
        if (gzip) {
            m_gzip = std::make_unique<Gzip::Stream>(output);
            return;
        }
        m_file = std::make_unique<CheckedFile>(output);
    }

    static la_ssize_t write(archive*, void* client, const void* buffer, size_t length)
    {
        auto* self = static_cast<Sink*>(client);
        try {
            self->put(static_cast<const char*>(buffer), qint64(length));
            return la_ssize_t(length);
        } catch (const ConvertError& e) {
            self->m_error = e;
            return -1;
        }
    }

    void finish()
    {
        if (m_gzip) return m_gzip->finish();
        m_file->finish();
    }

    // The first write error, when one happened.
    const std::optional<ConvertError>& error() const { return m_error; }

  private:
    void put(const char* data, qint64 size)
    {
        if (m_gzip) return m_gzip->write(data, size);
        if (m_file->write(data, size) != size) m_file->finish(); // throws the write's failure
    }

    std::unique_ptr<CheckedFile> m_file;
    std::unique_ptr<Gzip::Stream> m_gzip;
    std::optional<ConvertError> m_error;
};

struct WriteDeleter
{
    void operator()(archive* a) const { LibArchive::get().writeFree(a); }
};
struct EntryDeleter
{
    void operator()(archive_entry* e) const { LibArchive::get().entryFree(e); }
};
using Entry = std::unique_ptr<archive_entry, EntryDeleter>;

class Copier
{
  public:
    Copier(const QString& archivePath, const QString& from, const QString& output, const QString& to,
           Job& job, const ExtractLimits& limits)
        : m_dropForks(from == QLatin1String("zip")), m_zip(to == QLatin1String("zip")), m_job(job),
          m_sink(output, to == QLatin1String("gz")), m_input(archivePath, limits, 1 << 20),
          m_out(m_lib.writeNew())
    {
    }

    void run()
    {
        if (m_zip)
            m_lib.writeSetFormatZip(m_out.get());
        else
            m_lib.writeSetFormatGnutar(m_out.get());
        if (m_lib.writeOpen(m_out.get(), &m_sink, nullptr, &Sink::write, nullptr) != ARCHIVE_OK)
            writeFailed();

        for (;;) {
            m_job.throwIfCancelled();
            archive_entry* entry = m_input.next();
            if (!entry) break;
            copy(entry);
        }
        checkLinks();
        m_job.throwIfCancelled();
        if (m_lib.writeClose(m_out.get()) != ARCHIVE_OK) writeFailed();
        m_sink.finish();
    }

  private:
    [[noreturn]] void refuse(const QString& reason) const { m_input.refuse(reason); }

    [[noreturn]] void writeFailed() const
    {
        if (m_sink.error()) throw *m_sink.error();
        throw ConvertError::failed(
            QStringLiteral("Couldn’t write the archive: %1").arg(errorText(m_out.get())));
    }

    void copy(archive_entry* entry)
    {
        const QByteArray name = m_input.entryName(entry);
        const QString shown = QFile::decodeName(name);
        const Components parts = split(name);
        if (const auto why = escapes(name, parts)) refuse(*why);
        const Components folders = parts.mid(0, parts.size() - 1);
        if (m_tree.passesThroughLink(folders)) refuse(QStringLiteral("“%1” goes through a link").arg(shown));
        if (parts.isEmpty()) return;

        // Zips made on a Mac carry resource forks in a "__MACOSX" folder beside the content.
        const bool written = !(m_dropForks && parts.first() == "__MACOSX" &&
                               (parts.size() > 1 || m_lib.entryFiletype(entry) == AE_IFDIR));
        const QString linkOutside = QStringLiteral("the link “%1” points outside the folder").arg(shown);
        const char* hardLocal = m_lib.entryHardlink(entry);
        if (hardLocal || m_lib.entryHardlinkUtf8(entry)) {
            const QByteArray target = entryText(hardLocal, m_lib.entryHardlinkUtf8(entry));
            const Components targetParts = split(target);
            if (target.startsWith('/') || targetParts.isEmpty() || targetParts.contains("..") ||
                !m_tree.staysInside(targetParts))
                refuse(linkOutside);
            return writeHardLink(entry, parts, targetParts, written);
        }
        const int type = m_lib.entryFiletype(entry);
        if (type != AE_IFLNK && type != AE_IFDIR && type != AE_IFREG)
            return skipData(); // devices, pipes and sockets are left out
        const QByteArray target = type == AE_IFLNK
                                      ? entryText(m_lib.entrySymlink(entry), m_lib.entrySymlinkUtf8(entry))
                                      : QByteArray();
        if (type == AE_IFLNK &&
            (target.isEmpty() || target.startsWith('/') || !m_tree.staysInside(folders + split(target))))
            refuse(linkOutside);
        if (!add(parts, {type, target, false, written}) || !written) return skipData();

        Entry out = newEntry(parts, entry, type);
        if (type == AE_IFLNK) m_lib.entryCopySymlink(out.get(), target.constData());
        if (type != AE_IFREG) {
            writeHeader(out.get());
            return skipData();
        }
        if (!m_lib.entrySizeIsSet(entry)) throw ArchiveCopy::NeedsUnpacking();
        m_lib.entrySetSize(out.get(), m_lib.entrySize(entry));
        writeHeader(out.get());
        copyData(name, m_lib.entrySize(entry));
    }

    // Records an item of the result, after the folders it lies in, which are written first when
    // they have no entries of their own. False for a folder that is already there, to be left
    // out. Replacing an item (or a folder's entry coming after its content) is rare enough to be
    // left to unpacking, which does it on disk.
    bool add(const Components& parts, const Node& node)
    {
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const Components folder = parts.mid(0, i);
            const Node* existing = m_tree.find(folder);
            if (existing && existing->type == AE_IFDIR) continue;
            if (existing) throw ArchiveCopy::NeedsUnpacking();
            m_tree.add(folder, {AE_IFDIR, {}, true, node.written});
            if (node.written) writeHeader(newEntry(folder, nullptr, AE_IFDIR).get());
        }
        if (const Node* existing = m_tree.find(parts)) {
            if (existing->type == AE_IFDIR && node.type == AE_IFDIR && !existing->implicit) return false;
            throw ArchiveCopy::NeedsUnpacking();
        }
        m_tree.add(parts, node);
        return true;
    }

    void writeHardLink(archive_entry* entry, const Components& parts, const Components& target, bool written)
    {
        const Node* linked = m_tree.find(target);
        // A zip has no hard links, and data carried by a link entry rewrites its target's.
        if (!linked || linked->type != AE_IFREG || !linked->written || (written && m_zip) ||
            (m_lib.entrySizeIsSet(entry) && m_lib.entrySize(entry) > 0))
            throw ArchiveCopy::NeedsUnpacking();
        if (!add(parts, {AE_IFREG, {}, false, written}) || !written) return skipData();
        Entry out = newEntry(parts, entry, AE_IFREG);
        m_lib.entryCopyHardlink(out.get(), target.join('/').constData());
        m_lib.entrySetSize(out.get(), 0);
        writeHeader(out.get());
        skipData();
    }

    // A clean entry for the result: the name without "./", the source's time (now when it has
    // none), its permissions with owner access as unpacking gives them, and the current user.
    Entry newEntry(const Components& parts, archive_entry* source, int type) const
    {
        Entry out(m_lib.entryNew());
        m_lib.entryCopyPathname(out.get(), parts.join('/').constData());
        m_lib.entrySetFiletype(out.get(), type);
        const int perm = source ? int(m_lib.entryPerm(source) & 0777) : 0755;
        m_lib.entrySetPerm(out.get(), type == AE_IFLNK ? 0777 : type == AE_IFDIR ? perm | 0700 : perm | 0600);
        if (source && m_lib.entryMtimeIsSet(source))
            m_lib.entrySetMtime(out.get(), m_lib.entryMtime(source), m_lib.entryMtimeNsec(source));
        else
            m_lib.entrySetMtime(out.get(), std::time(nullptr), 0);
        m_lib.entrySetUid(out.get(), m_owner.uid);
        m_lib.entrySetGid(out.get(), m_owner.gid);
        if (!m_owner.user.isEmpty()) m_lib.entryCopyUname(out.get(), m_owner.user.constData());
        if (!m_owner.group.isEmpty()) m_lib.entryCopyGname(out.get(), m_owner.group.constData());
        return out;
    }

    void writeHeader(archive_entry* entry)
    {
        if (m_lib.writeHeader(m_out.get(), entry) < ARCHIVE_WARN) writeFailed();
    }

    void writeData(const void* data, qint64 size)
    {
        if (size > 0 && m_lib.writeData(m_out.get(), data, size_t(size)) != la_ssize_t(size)) writeFailed();
    }

    void writeZeros(qint64 size)
    {
        static const char zeros[65536] = {};
        for (; size > 0; size -= qint64(sizeof zeros))
            writeData(zeros, std::min<qint64>(size, sizeof zeros));
    }

    // The entry's bytes, holes of sparse files filled in, exactly `size` of them.
    void copyData(const QByteArray& name, qint64 size)
    {
        EntryReader reader(m_input.get(), m_input.name(), name, size,
                           [this](qint64 bytes) { m_input.countUnpacked(bytes); });
        qint64 at = 0;
        while (const std::optional<EntryReader::Block> block = reader.next()) {
            if (block->offset < at) throw ArchiveCopy::NeedsUnpacking();
            writeZeros(block->offset - at);
            writeData(block->data, block->size);
            at = block->offset + block->size;
        }
        writeZeros(size - at);
        if (m_lib.writeFinishEntry(m_out.get()) < ARCHIVE_WARN) writeFailed();
    }

    void skipData()
    {
        if (m_lib.readDataSkip(m_input.get()) < ARCHIVE_WARN) refuse(errorText(m_input.get()));
    }

    // A link checked when it was read can point outside once links it goes through are in
    // place ("d" → "." and then "e" → "d/.."); the finished tree is checked as a whole.
    void checkLinks() const
    {
        for (const QByteArray& link : m_tree.links())
            if (!m_tree.staysInside(split(link)))
                refuse(
                    QStringLiteral("the link “%1” points outside the folder").arg(QFile::decodeName(link)));
    }

    const LibArchive& m_lib = LibArchive::get();
    const bool m_dropForks;
    const bool m_zip;
    Job& m_job;
    const Owner m_owner;
    Sink m_sink; // before the writer, which may still write to it when freed
    ArchiveInput m_input;
    std::unique_ptr<archive, WriteDeleter> m_out;
    Tree m_tree;
};

} // namespace

namespace ArchiveCopy {

void convert(const QString& archive, const QString& from, const QString& output, const QString& to, Job& job,
             const ExtractLimits& limits)
{
    Copier(archive, from, output, to, job, limits).run();
}

} // namespace ArchiveCopy
