#include "core/libreoffice/iwork.h"

#include "core/converterror.h"
#include "core/job.h"
#include "core/libreoffice/officecopy.h"
#include "core/libreoffice/officeprofile.h"
#include "core/output.h"
#include "core/scratchfolder.h"
#include "core/shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {

const QString failurePrefix = QStringLiteral("LibreOffice couldn’t convert the file. ");

std::optional<QString> program()
{
    if (auto path = Shell::find(QStringLiteral("soffice"))) return path;
    return Shell::find(QStringLiteral("libreoffice"));
}

// The --convert-to argument for a target extension. Filters are named where the extension alone
// finds none for some inputs (an HTML document opens in the web module, which knows no "docx").
std::optional<QString> convertTo(const QString& ext)
{
    if (ext == QLatin1String("pdf")) return QStringLiteral("pdf");
    if (ext == QLatin1String("docx")) return QStringLiteral("docx:MS Word 2007 XML");
    if (ext == QLatin1String("xlsx")) return QStringLiteral("xlsx:Calc MS Excel 2007 XML");
    if (ext == QLatin1String("pptx")) return QStringLiteral("pptx:Impress MS PowerPoint 2007 XML");
    return std::nullopt;
}

// The extension for an export format's name, or for the save form the output's own extension.
QString targetExtension(const std::optional<QString>& format, const QString& output)
{
    if (!format) return QFileInfo(output).suffix().toLower();
    if (*format == QLatin1String("PDF")) return QStringLiteral("pdf");
    if (*format == QLatin1String("Microsoft Word")) return QStringLiteral("docx");
    if (*format == QLatin1String("Microsoft PowerPoint")) return QStringLiteral("pptx");
    if (*format == QLatin1String("Microsoft Excel")) return QStringLiteral("xlsx");
    throw ConvertError::unsupported(QStringLiteral("Can’t make %1 with LibreOffice").arg(*format));
}

// The file LibreOffice wrote into its private output folder: the input's base name with the new
// extension, or else the only file there.
std::optional<QString> writtenFile(const QString& folder, const QString& input, const QString& ext)
{
    const QDir dir(folder);
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    const QString expected = QFileInfo(input).completeBaseName() + QLatin1Char('.') + ext;
    if (files.contains(expected)) return dir.filePath(expected);
    if (files.size() == 1) return dir.filePath(files.first());
    return std::nullopt;
}

// Moves the result to the caller's path without replacing anything there; copies across file
// systems.
void moveResult(const QString& from, const QString& to)
{
    const QByteArray src = QFile::encodeName(from), dst = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0) return;
    const int error = errno;
    if (error != EXDEV && error != EINVAL && error != ENOSYS)
        throw ConvertError::failed(QStringLiteral("Couldn’t save the converted file: %1")
                                       .arg(QString::fromLocal8Bit(std::strerror(error))));
    QFile file(from);
    if (!file.copy(to))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t save the converted file: %1").arg(file.errorString()));
}

} // namespace

namespace IWork {

QString appName(App app)
{
    switch (app) {
    case App::pages:
        return QStringLiteral("Pages");
    case App::keynote:
        return QStringLiteral("Keynote");
    case App::numbers:
        return QStringLiteral("Numbers");
    }
    return {};
}

bool isInstalled(App)
{
    return program().has_value();
}

ScratchFolder convertInto(const QString& input, const QString& filter, Job* job,
                          std::chrono::milliseconds timeLimit)
{
    const std::optional<QString> soffice = program();
    if (!soffice)
        throw ConvertError::missingTool(QStringLiteral(
            "This conversion needs LibreOffice. Install it with: sudo apt install libreoffice"));
    if (job) job->throwIfCancelled();

    // LibreOffice reads and writes its profile busily: in memory it converts noticeably sooner.
    const ScratchFolder profile(Output::ScratchPlace::memory), inFolder;
    OfficeProfile::make(*soffice, profile.path(), job);
    // LibreOffice reads only the private copy, whose links lead nowhere.
    const QString copy = OfficeCopy::make(input, inFolder.path(), job);
    ScratchFolder outFolder;
    const Shell::Result result = OfficeProfile::run(
        *soffice, profile.path(),
        {QStringLiteral("--convert-to"), filter, QStringLiteral("--outdir"), outFolder.path(), copy}, job,
        timeLimit);
    if (result.timedOut)
        throw ConvertError::failed(QStringLiteral("LibreOffice took too long and was stopped."));
    if (result.status != 0) throw ConvertError::failed(failurePrefix + result.stderrText.trimmed());
    return outFolder;
}

void export_(App, const QString& input, const QString& output, const std::optional<QString>& format,
             const std::optional<QString>&, Job* job, std::chrono::milliseconds timeLimit)
{
    if (!program())
        throw ConvertError::missingTool(QStringLiteral(
            "This conversion needs LibreOffice. Install it with: sudo apt install libreoffice"));
    const QString ext = targetExtension(format, output);
    const std::optional<QString> target = convertTo(ext);
    if (!target)
        throw ConvertError::unsupported(
            ext.isEmpty() ? QStringLiteral("Can’t make a file without an extension with LibreOffice")
                          : QStringLiteral("Can’t make %1 with LibreOffice").arg(ext.toUpper()));

    const ScratchFolder outFolder = convertInto(input, *target, job, timeLimit);
    // LibreOffice reports some failures (an unreadable input, no filter) only on standard error
    // and still exits with 0.
    const std::optional<QString> written =
        writtenFile(outFolder.path(), QFileInfo(input).absoluteFilePath(), ext);
    if (!written || QFileInfo(*written).size() <= 0)
        throw ConvertError::failed(failurePrefix + QStringLiteral("It produced no output."));
    moveResult(*written, output);
}

} // namespace IWork
