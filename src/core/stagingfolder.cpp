#include "core/stagingfolder.h"

#include "core/converterror.h"
#include "core/output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

StagingFolder::StagingFolder(const QString& destination) : m_destination(destination)
{
    const QString parent = QFileInfo(destination).absolutePath();
    m_path = Output::temporaryPath(QFileInfo(destination).absoluteFilePath());
    errno = 0;
    if (!QDir().mkpath(parent) || ::mkdir(QFile::encodeName(m_path).constData(), 0755) != 0) {
        const int error = errno ? errno : EACCES;
        m_path.clear();
        throw Output::writeFailure(error, QStringLiteral("Couldn’t create a folder in %1: %2")
                                              .arg(parent, QString::fromLocal8Bit(std::strerror(error))));
    }
}

StagingFolder::~StagingFolder()
{
    if (!m_committed && !m_path.isEmpty()) QDir(m_path).removeRecursively();
}

QString StagingFolder::commit()
{
    const QString final = Output::commit(m_path, m_destination, true);
    m_committed = true;
    return final;
}
