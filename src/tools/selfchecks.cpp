#include "tools/selfchecks.h"

#include "core/toolid.h"
#include "engines/heavyengines.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/redact/redactimage.h"

#include <QDir>

namespace SelfChecks {

namespace {

// A windowless tool's work over the samples named, as its petal runs it.
std::function<QStringList(const QString&, Job&)> instant(ToolID tool, const QStringList& names)
{
    return [tool, names](const QString& samples, Job& job) {
        QStringList files;
        for (const QString& name : names)
            files << QDir(samples).filePath(name);
        const HeavyEngines& engines = Modules::entries<HeavyEngines>();
        return engines.instantWork(*engines.instantTool(tool), files, job, [](double) {});
    };
}

const Check table[] = {
    {QStringLiteral("crop"), CropImage::selfCheck},
    {QStringLiteral("annotate"), AnnotateImage::selfCheck},
    {QStringLiteral("redact"), RedactImage::selfCheck},
    {QStringLiteral("create pdf"),
     instant(ToolID::createPDF, {QStringLiteral("photo.jpg"), QStringLiteral("photo.png")})},
    {QStringLiteral("split pdf"), instant(ToolID::splitPDF, {QStringLiteral("sample.pdf")})},
    {QStringLiteral("mute"), instant(ToolID::muteVideo, {QStringLiteral("clip.mp4")})},
};

} // namespace

std::span<const Check> all()
{
    return table;
}

} // namespace SelfChecks
