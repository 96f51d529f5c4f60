#include "engines/sheet/sheetengine.h"

#include "core/catalog.h"
#include "core/converterror.h"
#include "core/job.h"
#include "core/output.h"
#include "core/textfile.h"
#include "engines/package/ooxml.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <sys/stat.h>

namespace {

const QStringList targets{"xlsx", "ods", "pdf", "csv", "tsv"};

// Several sheets as a folder of delimited files, filled in a hidden folder beside the wanted one
// and committed whole; nothing of it stays behind when a write fails.
QString writeFolder(const QList<Sheet>& sheets, const QString& destination, const QString& ext,
                    QChar separator, const Job& job)
{
    return Output::write(
        destination,
        [&](const QString& work) {
            if (::mkdir(QFile::encodeName(work).constData(), 0777) != 0) throw Output::writeFailure(errno);
            QSet<QString> used;
            for (const Sheet& sheet : sheets)
                TextFile::write(work + QLatin1Char('/') + OOXML::sheetName(sheet.name, used) +
                                    QLatin1Char('.') + ext,
                                SheetEngine::delimited(sheet.rows, separator));
        },
        &job);
}

} // namespace

namespace SheetEngine {

QStringList convert(const QString& source, const QString& to, Job& job, const Progress& progress)
{
    if (!targets.contains(to))
        throw ConvertError::unsupported(QStringLiteral("Can’t make %1 from a spreadsheet").arg(to.toUpper()));
    const QList<Sheet> sheets = read(source, Catalog::format(source).value_or(QString()), &job);
    if (sheets.isEmpty())
        throw ConvertError::failed(
            QStringLiteral("%1 has no sheets to convert").arg(QFileInfo(source).fileName()));
    job.throwIfCancelled();
    progress(0.5);

    const QString base = Output::baseName(source);
    const auto write = [&](const std::function<void(const QString&)>& producer) {
        return QStringList{Output::write(Output::result(source, {}, to), producer, &job)};
    };
    if (to == QLatin1String("xlsx"))
        return write([&](const QString& file) { OOXML::writeXLSX(sheets, file, base); });
    if (to == QLatin1String("ods")) return write([&](const QString& file) { OOXML::writeODS(sheets, file); });
    if (to == QLatin1String("pdf")) return write([&](const QString& file) { writePDF(sheets, file); });

    const QChar separator = to == QLatin1String("csv") ? QLatin1Char(',') : QLatin1Char('\t');
    if (sheets.size() == 1)
        return write(
            [&](const QString& file) { TextFile::write(file, delimited(sheets.first().rows, separator)); });
    return {writeFolder(sheets, Output::result(source, {}, std::nullopt), to, separator, job)};
}

} // namespace SheetEngine
