#include "engines/image/imageengine.h"

#include "core/job.h"
#include "core/output.h"
#include "core/settings.h"
#include "engines/document/docxwriter.h"
#include "engines/document/plaintext.h"
#include "engines/image/jpegsegments.h"
#include "engines/image/pixelbudget.h"
#include "engines/recognition/recognitionmodule.h"

#include <QFile>
#include <QFileInfo>
#include <QTextDocument>

namespace {

std::optional<QString> damageNote(const QString& source)
{
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly) || file.peek(2) != QByteArrayLiteral("\xFF\xD8")) return std::nullopt;
    const QString name = QFileInfo(source).fileName();
    switch (JpegSegments::cut(file.readAll())) {
    case JpegSegments::Cut::lowerPart:
        return QStringLiteral("%1 is damaged: its lower part is missing").arg(name);
    case JpegSegments::Cut::detail:
        return QStringLiteral("%1 is damaged: part of its detail is missing").arg(name);
    case JpegSegments::Cut::whole:
        break;
    }
    return std::nullopt;
}

} // namespace

namespace ImageEngine {

ImageProps carriedProperties(const ImageProps& props)
{
    return props.carried();
}

QStringList convert(const QString& source, const QString& target, Job& job, const Progress& progress,
                    MemoryBudget& budget)
{
    // Held until the result is written: the pixels and their copies live that long.
    const MemoryBudget::Share share = PixelBudget::take(PixelBudget::charge(source, target), job, budget);
    Loaded loaded = load(source);
    // A decoder fills in what a cut-short file lacks; the result is what there is, said so.
    if (const std::optional<QString> damage = damageNote(source)) job.addNote(*damage);
    progress(0.4);
    job.throwIfCancelled();
    const QString destination = Output::result(source, {}, target);

    if (target == QLatin1String("docx")) {
        QString text = Modules::entries<RecognitionModule>().recognize(loaded.image);
        progress(0.8);
        if (text.isEmpty()) text = QStringLiteral("(No text found)");
        const auto document = Doc::plainAttributed(text);
        return {Output::write(
            destination, [&](const QString& temporary) { Doc::writeDOCX(*document, temporary); }, &job)};
    }

    const ImageProps carried = carriedProperties(loaded.props);
    return {Output::write(
        destination,
        [&](const QString& temporary) {
            if (target == QLatin1String("webp"))
                writeWebP(loaded.image, temporary, Settings::shared().imageQuality(), &job);
            else
                write(std::move(loaded.image), temporary, target, carried, std::nullopt, loaded.dpi);
        },
        &job)};
}

} // namespace ImageEngine
