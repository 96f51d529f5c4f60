#include "core/scratchfolder.h"

#include "core/output.h"

#include <QDir>
#include <QFile>
#include <unistd.h>
#include <utility>

ScratchFolder::ScratchFolder(Output::ScratchPlace place) : m_path(Output::scratch(place)) {}

ScratchFolder::~ScratchFolder()
{
    remove();
}

ScratchFolder::ScratchFolder(ScratchFolder&& other) noexcept : m_path(std::exchange(other.m_path, QString()))
{
}

ScratchFolder& ScratchFolder::operator=(ScratchFolder&& other) noexcept
{
    if (this != &other) {
        remove();
        m_path = std::exchange(other.m_path, QString());
    }
    return *this;
}

QString ScratchFolder::file(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

void ScratchFolder::remove()
{
    // Most folders are left empty: one system call then does.
    if (!m_path.isEmpty() && ::rmdir(QFile::encodeName(m_path).constData()) != 0)
        QDir(m_path).removeRecursively();
    m_path.clear();
}
