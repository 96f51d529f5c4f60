#pragma once

#include "core/output.h"

#include <QString>

// A new, empty private folder in the temporary directory (made by Output::scratch), removed with
// everything in it when the owner goes, however the work ends. Moving hands the folder on.
class ScratchFolder
{
  public:
    explicit ScratchFolder(Output::ScratchPlace place = Output::ScratchPlace::temporary);
    ~ScratchFolder();
    ScratchFolder(ScratchFolder&& other) noexcept;
    ScratchFolder& operator=(ScratchFolder&& other) noexcept;
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const QString& path() const { return m_path; }
    // `name` inside the folder.
    QString file(const QString& name) const;

  private:
    void remove();

    QString m_path;
};
