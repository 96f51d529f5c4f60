#include "tools/file/metadata/metadatawork.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/inputcheck.h"
#include "core/job.h"
#include "core/output.h"
#include "engines/heavyengines.h"
#include "engines/metadata/mediametadata.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString sample(const QString& samples, const QString& name)
{
    return QDir(samples).filePath(name);
}

} // namespace

namespace MetadataWork {

Kind kind(const QString& file)
{
    const std::optional<QString> format = Catalog::format(file);
    if (!format) return Kind::media;
    if (*format == QLatin1String("gif")) return Kind::image;
    const std::optional<FileCategory> category = Catalog::category(*format);
    if (category == FileCategory::image) return Kind::image;
    if (category == FileCategory::pdf) return Kind::pdf;
    return Kind::media;
}

ImageFields read(const QString& file)
{
    switch (kind(file)) {
    case Kind::image:
        return Modules::entries<HeavyEngines>().imageFields(file);
    case Kind::pdf: {
        bool readable = false;
        QList<MetaField> fields = Modules::entries<HeavyEngines>().pdfFields(file, &readable);
        return {std::move(fields), {}, false, readable};
    }
    case Kind::media:
        break;
    }
    return {MetadataEngine::mediaFields(file), {}, false};
}

QList<MetaField> edits(Kind kind, const QList<MetaField>& fields, const QList<MetaField>& original)
{
    return kind == Kind::pdf ? fields : MetadataEngine::changedFields(fields, original);
}

QStringList writeFile(const QString& file, Kind kind, bool strip, const QList<MetaField>& fields,
                      bool removeGPS, Job& job, bool fieldsRead)
{
    InputCheck::refuseGone(file);
    InputCheck::refuseSpecial(file);
    if (kind == Kind::pdf && !strip && !fieldsRead)
        throw ConvertError::failed(
            QStringLiteral("Couldn’t read the details of %1, so they were left as they are")
                .arg(QFileInfo(file).fileName()));
    const QString suffix = strip ? QStringLiteral(" No Metadata") : QStringLiteral(" Tagged");
    const QString destination = Output::result(file, suffix, QFileInfo(file).suffix().toLower());
    const bool gif = Catalog::format(file) == QStringLiteral("gif");
    const auto produce = [&](const QString& temporary) {
        if (kind == Kind::image || gif)
            for (const QString& note :
                 Modules::entries<HeavyEngines>().writeImageTags(file, temporary, fields, strip, removeGPS))
                job.addNote(note);
        else if (kind == Kind::pdf)
            for (const QString& note :
                 Modules::entries<HeavyEngines>().writePDFTags(file, temporary, fields, strip))
                job.addNote(note);
        else
            MetadataEngine::writeMedia(file, temporary, fields, strip, job);
    };
    return {Output::write(destination, produce, &job)};
}

QStringList checkImageStrip(const QString& samples, Job& job)
{
    return writeFile(sample(samples, "photo.jpg"), Kind::image, true, {}, true, job);
}

QStringList checkImageEdit(const QString& samples, Job& job)
{
    return writeFile(sample(samples, "photo.jpg"), Kind::image, false, {{"author", {}, "Tolvane Test"}},
                     false, job);
}

QStringList checkPDF(const QString& samples, Job& job)
{
    return writeFile(sample(samples, "sample.pdf"), Kind::pdf, false, {{"Title", {}, "Test"}}, false, job);
}

QStringList checkAudio(const QString& samples, Job& job)
{
    return writeFile(sample(samples, "song.mp3"), Kind::media, false, {{"artist", {}, "Tolvane"}}, false,
                     job);
}

QStringList checkVideoStrip(const QString& samples, Job& job)
{
    return writeFile(sample(samples, "clip.mp4"), Kind::media, true, {}, false, job);
}

} // namespace MetadataWork
