#pragma once

#include <QString>

// A new, empty hidden folder (Output's temporary name) beside a destination folder, filled by a tool
// and then committed under the destination's name. Removed with everything in it when the
// owner goes without committing, however the work ends.
class StagingFolder
{
  public:
    // Creates it (and the destination's parent folders); throws Output::writeFailure() of the
    // file system's error.
    explicit StagingFolder(const QString& destination);
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    const QString& path() const { return m_path; }
    // Moves the folder into place through Output::commit (numbered when the name is taken);
    // returns the final path.
    QString commit();

  private:
    QString m_path;
    QString m_destination;
    bool m_committed = false;
};
