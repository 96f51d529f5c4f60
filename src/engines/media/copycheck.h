#pragma once

#include "engines/media/firstrun.h"

#include <QString>
#include <exception>
#include <optional>
#include <sys/stat.h>
#include <thread>

// The decode check of a stream copy (LibAv::undecodable) made by the first run, read as soon as
// ffmpeg has written the whole result, while it closes it and exits: the result's end on a thread
// started beforehand, its start on the calling thread.
class CopyCheck
{
  public:
    CopyCheck(FirstRun& first, const QString& output, const QString& target);
    // Ends the run when the check is abandoned before it is over.
    ~CopyCheck();
    CopyCheck(const CopyCheck&) = delete;
    CopyCheck& operator=(const CopyCheck&) = delete;

    // Reads the start once the run has written the result, and waits until the end is read too;
    // throws what either reading threw.
    void read();
    // Once the run is over: which kind of stream gives no frame ("picture" or "sound"), read
    // again where the run wrote nothing or the file changed since it was read.
    std::optional<QString> undecodable() const;

  private:
    // What one reading found, and the state of the file it read.
    struct Reading
    {
        bool read = false;
        std::optional<struct stat> file;
        std::optional<QString> failing;
    };
    Reading readOnceWritten(bool end) const;

    FirstRun& m_first;
    const QString m_output;
    const QString m_target;
    Reading m_start, m_end;
    std::exception_ptr m_failure; // what reading the end threw, thrown again by read()
    std::thread m_endReader;
};
