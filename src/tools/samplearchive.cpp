#include "tools/samplearchive.h"

#include "core/checkedfile.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/stagingfolder.h"
#include "core/toolid.h"
#include "core/zipwriter.h"
#include "engines/heavyengines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace SampleArchive {

namespace {

// Each entry: the sample and its name in the archive; one file at the top and one in a folder,
// as archives mostly hold them.
struct Entry
{
    const char* sample;
    const char* name;
};
constexpr Entry entries[] = {{"photo.png", "photo.png"}, {"photo.jpg", "photos/photo.jpg"}};

QByteArray sampleBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read %1: %2").arg(QFileInfo(path).fileName(), file.errorString()));
    return file.readAll();
}

} // namespace

SelfChecks::Outcome extract(const QString& samples, Job& job)
{
    const QDir folder(samples);
    const QString destination = Output::result(folder.filePath(QStringLiteral("sample.zip")),
                                               QStringLiteral(" Extracted"), std::nullopt);
    // Made beside the result, so that moving it out is a rename; removed with the archive in it.
    const StagingFolder scratch(destination);
    const QString archive = QDir(scratch.path()).filePath(QStringLiteral("sample.zip"));
    {
        CheckedFile file(archive, CheckedFile::Existing::refuse);
        ZipWriter zip(file);
        for (const Entry& entry : entries)
            zip.add(QString::fromLatin1(entry.name),
                    sampleBytes(folder.filePath(QString::fromLatin1(entry.sample))), true);
        zip.finish();
    }
    job.throwIfCancelled();

    const HeavyEngines& engines = Modules::entries<HeavyEngines>();
    const QStringList extracted =
        engines.instantWork(*engines.instantTool(ToolID::extractArchive), {archive}, job, [](double) {});
    if (extracted.size() != 1) throw ConvertError::failed(QStringLiteral("Nothing was extracted"));
    job.throwIfCancelled();
    return QStringList{Output::commit(extracted.first(), destination, true)};
}

} // namespace SampleArchive
