#include "tools/selfchecks.h"

#include "core/toolid.h"
#include "engines/heavyengines.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"
#include "tools/image/crop/cropimage.h"

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
    {QStringLiteral("compress image"), CompressWork::checkImage},
    {QStringLiteral("metadata strip"), MetadataWork::checkImageStrip},
    {QStringLiteral("metadata edit"), MetadataWork::checkImageEdit},
    {QStringLiteral("create pdf"),
     instant(ToolID::createPDF, {QStringLiteral("photo.jpg"), QStringLiteral("photo.png")})},
    {QStringLiteral("compress pdf"), CompressWork::checkPDF},
    {QStringLiteral("pdf metadata"), MetadataWork::checkPDF},
    {QStringLiteral("split pdf"), instant(ToolID::splitPDF, {QStringLiteral("sample.pdf")})},
    {QStringLiteral("compress audio"), CompressWork::checkAudio},
    {QStringLiteral("audio metadata"), MetadataWork::checkAudio},
    {QStringLiteral("mute"), instant(ToolID::muteVideo, {QStringLiteral("clip.mp4")})},
    {QStringLiteral("compress video"), CompressWork::checkVideo},
    {QStringLiteral("video metadata strip"), MetadataWork::checkVideoStrip},
};

} // namespace

std::span<const Check> all()
{
    return table;
}

} // namespace SelfChecks
