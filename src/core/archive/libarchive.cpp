#include "core/archive/libarchive.h"

#include "core/converterror.h"

#include <QString>
#include <dlfcn.h>

namespace {

// Every libarchive 3 carries this soname, so the structures of the header agree with the
// library opened.
static_assert(ARCHIVE_VERSION_NUMBER >= 3000000 && ARCHIVE_VERSION_NUMBER < 4000000);
constexpr char fileName[] = "libarchive.so.13";

ConvertError failure(const QString& reason)
{
    return ConvertError::failed(QStringLiteral("Tolvane can’t load %1").arg(QLatin1String(fileName)), reason);
}

// Looks symbols up by name; each converts to the function pointer of the entry it fills.
class Symbols
{
  public:
    struct Address
    {
        void* address;
        template <typename F> operator F*() const { return reinterpret_cast<F*>(address); }
    };

    explicit Symbols(void* library) : m_library(library) {}

    Address operator()(const char* name)
    {
        void* address = ::dlsym(m_library, name);
        if (!address && m_missing.isEmpty()) m_missing = QString::fromLatin1(name);
        return {address};
    }

    // The first name not found, or empty.
    const QString& missing() const { return m_missing; }

  private:
    void* m_library;
    QString m_missing;
};

LibArchive load()
{
    void* library = ::dlopen(fileName, RTLD_LAZY | RTLD_LOCAL);
    if (!library) throw failure(QString::fromLocal8Bit(::dlerror()));
    Symbols find(library);
    // Designated and in order: an entry left out here fails the build.
    const LibArchive lib{
        .errorString = find("archive_error_string"),
        .errorNumber = find("archive_errno"),
        .format = find("archive_format"),
        .readNew = find("archive_read_new"),
        .readFree = find("archive_read_free"),
        .readSupportFormatAll = find("archive_read_support_format_all"),
        .readSupportFormatRaw = find("archive_read_support_format_raw"),
        .readSupportFilterAll = find("archive_read_support_filter_all"),
        .readSupportFilterGzip = find("archive_read_support_filter_gzip"),
        .readOpenFilename = find("archive_read_open_filename"),
        .readOpenMemory = find("archive_read_open_memory"),
        .readNextHeader = find("archive_read_next_header"),
        .readData = find("archive_read_data"),
        .readDataBlock = find("archive_read_data_block"),
        .readDataSkip = find("archive_read_data_skip"),
        .writeNew = find("archive_write_new"),
        .writeDiskNew = find("archive_write_disk_new"),
        .writeDiskSetOptions = find("archive_write_disk_set_options"),
        .writeFree = find("archive_write_free"),
        .writeSetFormatZip = find("archive_write_set_format_zip"),
        .writeSetFormatGnutar = find("archive_write_set_format_gnutar"),
        .writeOpen = find("archive_write_open"),
        .writeHeader = find("archive_write_header"),
        .writeData = find("archive_write_data"),
        .writeDataBlock = find("archive_write_data_block"),
        .writeFinishEntry = find("archive_write_finish_entry"),
        .writeClose = find("archive_write_close"),
        .entryNew = find("archive_entry_new"),
        .entryFree = find("archive_entry_free"),
        .entryPathname = find("archive_entry_pathname"),
        .entryPathnameUtf8 = find("archive_entry_pathname_utf8"),
        .entrySymlink = find("archive_entry_symlink"),
        .entrySymlinkUtf8 = find("archive_entry_symlink_utf8"),
        .entryHardlink = find("archive_entry_hardlink"),
        .entryHardlinkUtf8 = find("archive_entry_hardlink_utf8"),
        .entryFiletype = find("archive_entry_filetype"),
        .entryPerm = find("archive_entry_perm"),
        .entrySize = find("archive_entry_size"),
        .entrySizeIsSet = find("archive_entry_size_is_set"),
        .entryMtime = find("archive_entry_mtime"),
        .entryMtimeNsec = find("archive_entry_mtime_nsec"),
        .entryMtimeIsSet = find("archive_entry_mtime_is_set"),
        .entryCopyPathname = find("archive_entry_copy_pathname"),
        .entryCopySymlink = find("archive_entry_copy_symlink"),
        .entryCopyHardlink = find("archive_entry_copy_hardlink"),
        .entryCopyUname = find("archive_entry_copy_uname"),
        .entryCopyGname = find("archive_entry_copy_gname"),
        .entrySetFiletype = find("archive_entry_set_filetype"),
        .entrySetPerm = find("archive_entry_set_perm"),
        .entrySetSize = find("archive_entry_set_size"),
        .entrySetMtime = find("archive_entry_set_mtime"),
        .entrySetUid = find("archive_entry_set_uid"),
        .entrySetGid = find("archive_entry_set_gid"),
    };
    if (!find.missing().isEmpty()) throw failure(QStringLiteral("it has no %1").arg(find.missing()));
    return lib;
}

} // namespace

const LibArchive& LibArchive::get()
{
    static const LibArchive lib = load();
    return lib;
}
