#pragma once

#include <archive.h>
#include <archive_entry.h>

// libarchive's functions that the archive readers and writers use, opened on the first use so
// that commands that touch no archive never load it (nor the compression and XML libraries it
// brings). Each entry is typed from the header this file was built with.
struct LibArchive
{
    decltype(&archive_error_string) errorString;
    decltype(&archive_errno) errorNumber;
    decltype(&archive_format) format;

    decltype(&archive_read_new) readNew;
    decltype(&archive_read_free) readFree;
    decltype(&archive_read_support_format_all) readSupportFormatAll;
    decltype(&archive_read_support_format_raw) readSupportFormatRaw;
    decltype(&archive_read_support_filter_all) readSupportFilterAll;
    decltype(&archive_read_support_filter_gzip) readSupportFilterGzip;
    decltype(&archive_read_open_filename) readOpenFilename;
    decltype(&archive_read_open_memory) readOpenMemory;
    decltype(&archive_read_next_header) readNextHeader;
    decltype(&archive_read_data) readData;
    decltype(&archive_read_data_block) readDataBlock;
    decltype(&archive_read_data_skip) readDataSkip;

    decltype(&archive_write_new) writeNew;
    decltype(&archive_write_disk_new) writeDiskNew;
    decltype(&archive_write_disk_set_options) writeDiskSetOptions;
    decltype(&archive_write_free) writeFree;
    decltype(&archive_write_set_format_zip) writeSetFormatZip;
    decltype(&archive_write_set_format_gnutar) writeSetFormatGnutar;
    decltype(&archive_write_open) writeOpen;
    decltype(&archive_write_header) writeHeader;
    decltype(&archive_write_data) writeData;
    decltype(&archive_write_data_block) writeDataBlock;
    decltype(&archive_write_finish_entry) writeFinishEntry;
    decltype(&archive_write_close) writeClose;

    decltype(&archive_entry_new) entryNew;
    decltype(&archive_entry_free) entryFree;
    decltype(&archive_entry_pathname) entryPathname;
    decltype(&archive_entry_pathname_utf8) entryPathnameUtf8;
    decltype(&archive_entry_symlink) entrySymlink;
    decltype(&archive_entry_symlink_utf8) entrySymlinkUtf8;
    decltype(&archive_entry_hardlink) entryHardlink;
    decltype(&archive_entry_hardlink_utf8) entryHardlinkUtf8;
    decltype(&archive_entry_filetype) entryFiletype;
    decltype(&archive_entry_perm) entryPerm;
    decltype(&archive_entry_size) entrySize;
    decltype(&archive_entry_size_is_set) entrySizeIsSet;
    decltype(&archive_entry_mtime) entryMtime;
    decltype(&archive_entry_mtime_nsec) entryMtimeNsec;
    decltype(&archive_entry_mtime_is_set) entryMtimeIsSet;
    decltype(&archive_entry_copy_pathname) entryCopyPathname;
    decltype(&archive_entry_copy_symlink) entryCopySymlink;
    decltype(&archive_entry_copy_hardlink) entryCopyHardlink;
    decltype(&archive_entry_copy_uname) entryCopyUname;
    decltype(&archive_entry_copy_gname) entryCopyGname;
    decltype(&archive_entry_set_filetype) entrySetFiletype;
    decltype(&archive_entry_set_perm) entrySetPerm;
    decltype(&archive_entry_set_size) entrySetSize;
    decltype(&archive_entry_set_mtime) entrySetMtime;
    decltype(&archive_entry_set_uid) entrySetUid;
    decltype(&archive_entry_set_gid) entrySetGid;

    // The table, loaded on the first call (any thread) and kept for the life of the process.
    // Throws ConvertError naming the library and the loader's reason when it can't be loaded.
    static const LibArchive& get();
};
