#include "tools/selfchecks.h"

#include "core/toolid.h"
#include "engines/heavyengines.h"
#include "tools/audio/bleep/bleepcheck.h"
#include "tools/audio/channels/audiochannelscheck.h"
#include "tools/audio/normalize/normalizecheck.h"
#include "tools/audio/trim/trimaudiocheck.h"
#include "tools/audio/visualizer/visualizercheck.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/collage/createcollage.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/editphoto/editphoto.h"
#include "tools/image/frame/addbackground.h"
#include "tools/image/redact/redactimage.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/snapshots/snapshotswork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

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
    {QStringLiteral("add bg"), AddBackground::selfCheck},
    {QStringLiteral("edit"), EditPhoto::selfCheck},
    {QStringLiteral("annotate"), AnnotateImage::selfCheck},
    {QStringLiteral("redact"), RedactImage::selfCheck},
    {QStringLiteral("collage"), CreateCollage::selfCheck},
    {QStringLiteral("compress image"), CompressWork::checkImage},
    {QStringLiteral("metadata strip"), MetadataWork::checkImageStrip},
    {QStringLiteral("metadata edit"), MetadataWork::checkImageEdit},
    {QStringLiteral("create pdf"),
     instant(ToolID::createPDF, {QStringLiteral("photo.jpg"), QStringLiteral("photo.png")})},
    {QStringLiteral("compress pdf"), CompressWork::checkPDF},
    {QStringLiteral("pdf metadata"), MetadataWork::checkPDF},
    {QStringLiteral("split pdf"), instant(ToolID::splitPDF, {QStringLiteral("sample.pdf")})},
    {QStringLiteral("trim audio"), TrimAudioCheck::trim},
    {QStringLiteral("mono"), AudioChannelsCheck::mono},
    {QStringLiteral("bleep"), BleepCheck::bleep},
    {QStringLiteral("normalize"), NormalizeCheck::podcast},
    {QStringLiteral("normalize peak"), NormalizeCheck::peak},
    {QStringLiteral("visualize"), VisualizerCheck::wave},
    {QStringLiteral("visualize bars+bg"), VisualizerCheck::barsOnPicture},
    {QStringLiteral("compress audio"), CompressWork::checkAudio},
    {QStringLiteral("audio metadata"), MetadataWork::checkAudio},
    {QStringLiteral("trim video"), TrimVideoWork::checkReencoded},
    {QStringLiteral("trim video fast"), TrimVideoWork::checkFast},
    {QStringLiteral("split video"), SplitVideoWork::selfCheck},
    {QStringLiteral("crop video"), CropVideoWork::selfCheck},
    {QStringLiteral("speed 2x"), SpeedWork::checkTwice},
    {QStringLiteral("speed .25x"), SpeedWork::checkQuarter},
    {QStringLiteral("snapshots"), SnapshotsWork::selfCheck},
    {QStringLiteral("join"), JoinWork::selfCheck},
    {QStringLiteral("redact blur"), RedactVideoWork::checkBlur},
    {QStringLiteral("redact pixelate+range"), RedactVideoWork::checkPixelateRange},
    {QStringLiteral("redact black"), RedactVideoWork::checkBlack},
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
