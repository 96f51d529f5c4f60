#include "core/archive/safeextract.h"

#include "core/archive/archiveinput.h"
#include "core/archive/archivenames.h"
#include "core/archive/entryreader.h"
#include "core/archive/libarchive.h"
#include "core/converterror.h"
#include "core/output.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <climits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace ArchiveNames;

// Entries are written under the destination's absolute path (the working folder is shared by
// all threads), so absolute names are refused by our own check, not by libarchive's flag.
constexpr int writeOptions =
    ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS;

QByteArray readLink(const QByteArray& path)
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.constData(), target.data(), target.size());
    if (length <= 0 || length >= target.size()) return {};
    target.truncate(length);
    return target;
}

// Walks `pending` from `root` the way the kernel would, following every link on the way (chains
// included), and tells whether the walk stays inside `root`. Missing items are walked by name.
bool staysInside(const QByteArray& root, Components pending)
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
        const QByteArray path = root + '/' + resolved.join('/');
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode)) continue;
        const QByteArray target = readLink(path);
        if (++hops > maxLinkHops || target.isEmpty() || target.startsWith('/')) return false;
        resolved.removeLast();
        pending = split(target) + pending;
    }
    return true;
}

bool passesThroughLink(const QByteArray& root, const Components& folders)
{
    QByteArray path = root;
    for (const QByteArray& folder : folders) {
        path += '/' + folder;
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISLNK(st.st_mode)) return true;
    }
    return false;
}

struct WriteDeleter
{
    void operator()(archive* a) const { LibArchive::get().writeFree(a); }
};

class Extractor
{
  public:
    Extractor(const QString& archivePath, const QString& destination, const ExtractLimits& limits)
        : m_input(archivePath, limits, 64 * 1024),
          m_root(QFile::encodeName(QFileInfo(destination).canonicalFilePath())), m_out(m_lib.writeDiskNew())
    {
    }

    void run()
    {
        if (m_root.isEmpty()) refuse(QStringLiteral("the destination folder is missing"));
        m_lib.writeDiskSetOptions(m_out.get(), writeOptions);
        while (archive_entry* entry = m_input.next()) {
            const QByteArray name = m_input.entryName(entry);
            if (!place(entry, name)) continue;
            if (m_lib.writeHeader(m_out.get(), entry) < ARCHIVE_WARN) writeFailed();
            // Folders and symbolic links carry no data of their own.
            if (m_lib.entryFiletype(entry) == AE_IFREG || m_lib.entryHardlink(entry))
                copyData(name, entry);
            else if (m_lib.readDataSkip(m_input.get()) < ARCHIVE_WARN)
                refuse(errorText(m_input.get()));
            // Warnings here are about what the disk can't keep (an owner, extended attributes).
            if (m_lib.writeFinishEntry(m_out.get()) < ARCHIVE_WARN) writeFailed();
        }
        if (m_lib.writeClose(m_out.get()) < ARCHIVE_WARN) writeFailed();
        checkLinks();
    }

  private:
    [[noreturn]] void refuse(const QString& reason) const { m_input.refuse(reason); }

    // A failure of the disk writer: the disk's own cause in plain words when the disk refused,
    // the refusal of the entry otherwise.
    [[noreturn]] void writeFailed() const
    {
        const int error = m_lib.errorNumber(m_out.get());
        switch (error) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
        case EROFS:
        case EIO:
            throw Output::writeFailure(error, errorText(m_out.get()));
        default:
            refuse(errorText(m_out.get()));
        }
    }

    // Checks the entry and points it into the destination. False for entries left out: the
    // archive's own root folder and special files.
    bool place(archive_entry* entry, const QByteArray& name)
    {
        const QString shown = QFile::decodeName(name);
        const Components parts = split(name);
        if (const auto why = escapes(name, parts)) refuse(*why);
        if (passesThroughLink(m_root, parts.mid(0, parts.size() - 1)))
            refuse(QStringLiteral("“%1” goes through a link").arg(shown));
        if (parts.isEmpty()) return false;

        const QString linkOutside = QStringLiteral("the link “%1” points outside the folder").arg(shown);
        if (const char* local = m_lib.entryHardlink(entry); local || m_lib.entryHardlinkUtf8(entry)) {
            const QByteArray target = entryText(local, m_lib.entryHardlinkUtf8(entry));
            const Components targetParts = split(target);
            if (target.startsWith('/') || targetParts.isEmpty() || targetParts.contains("..") ||
                !staysInside(m_root, targetParts))
                refuse(linkOutside);
            m_lib.entryCopyHardlink(entry, (m_root + '/' + targetParts.join('/')).constData());
        } else {
            switch (m_lib.entryFiletype(entry)) {
            case AE_IFLNK: {
                const QByteArray target = entryText(m_lib.entrySymlink(entry), m_lib.entrySymlinkUtf8(entry));
                if (target.isEmpty() || target.startsWith('/') ||
                    !staysInside(m_root, parts.mid(0, parts.size() - 1) + split(target)))
                    refuse(linkOutside);
                break;
            }
            // The unpacked tree must stay readable and removable by its owner.
            case AE_IFDIR:
                m_lib.entrySetPerm(entry, m_lib.entryPerm(entry) | 0700);
                break;
            case AE_IFREG:
                m_lib.entrySetPerm(entry, m_lib.entryPerm(entry) | 0600);
                break;
            default:
                return false;
            }
        }
        m_lib.entryCopyPathname(entry, (m_root + '/' + parts.join('/')).constData());
        return true;
    }

    // The entry's data, exactly as much as it declares; every failed write fails the unpacking.
    void copyData(const QByteArray& name, archive_entry* entry)
    {
        const qint64 declared = m_lib.entrySizeIsSet(entry) ? m_lib.entrySize(entry) : -1;
        EntryReader reader(m_input.get(), m_input.name(), name, declared,
                           [this](qint64 bytes) { m_input.countUnpacked(bytes); });
        while (const std::optional<EntryReader::Block> block = reader.next()) {
            if (m_lib.writeDataBlock(m_out.get(), block->data, size_t(block->size), block->offset) ==
                ARCHIVE_OK)
                continue;
            const int error = m_lib.errorNumber(m_out.get());
            throw Output::writeFailure(error > 0 ? error : EIO, errorText(m_out.get()));
        }
    }

    // A link checked when it was made can point outside later, once links it goes through are
    // in place ("d" → "." and then "e" → "d/.."); the finished tree is checked as a whole.
    void checkLinks() const
    {
        const QDir root(QFile::decodeName(m_root));
        QDirIterator it(root.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!it.fileInfo().isSymLink()) continue;
            const QString relative = root.relativeFilePath(path);
            if (!staysInside(m_root, split(QFile::encodeName(relative))))
                refuse(QStringLiteral("the link “%1” points outside the folder").arg(relative));
        }
    }

    const LibArchive& m_lib = LibArchive::get();
    ArchiveInput m_input;
    QByteArray m_root;
    std::unique_ptr<archive, WriteDeleter> m_out;
};

} // namespace

void extractSafely(const QString& archive, const QString& destination, const ExtractLimits& limits)
{
    Extractor(archive, destination, limits).run();
}
