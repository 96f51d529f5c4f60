#pragma once

#include "core/archive/safeextract.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <memory>
#include <optional>

class ArchiveInput;
class EntryReader;
class Job;

// The regular files of any archive libarchive reads, one at a time, by their names without empty
// and "." components; folders, links and special files are passed over. Refuses what
// extractSafely() refuses of names and sizes (absolute names, a ".." leading out, archives beyond
// `limits`) and throws its errors, damaged entries included; a cancelled `job` throws
// ConvertError::cancelled as the next piece of data is asked for.
class PartReader
{
  public:
    PartReader(const QString& archive, const ExtractLimits& limits, const Job* job = nullptr);
    ~PartReader();
    PartReader(const PartReader&) = delete;
    PartReader& operator=(const PartReader&) = delete;

    // The next file's name, or none at the end; what is left of the file before is passed over.
    std::optional<QString> next();
    // Where the current file comes among all the archive's entries, counting from 0: a name that
    // comes twice is told apart by it.
    int index() const { return m_index; }
    // The size the current file declares, or -1 when the archive gives none.
    qint64 declaredSize() const { return m_declared; }
    // The current file's next piece of data, empty at its end. The view holds until the next call.
    QByteArrayView piece();
    // What is left of the current file's data.
    QByteArray rest();

  private:
    std::unique_ptr<ArchiveInput> m_input;
    std::unique_ptr<EntryReader> m_entry;
    const Job* m_job;
    int m_index = -1;
    qint64 m_declared = -1;
    qint64 m_at = 0;  // where the pieces handed out so far end
    qint64 m_gap = 0; // zeros still to hand out before the pending block
    QByteArrayView m_pending;
};
