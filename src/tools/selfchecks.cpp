#include "tools/selfchecks.h"

#include "core/toolid.h"
#include "engines/heavyengines.h"
#include "tools/audio/bleep/bleepwork.h"
#include "tools/audio/channels/audiochannelswork.h"
#include "tools/audio/normalize/normalizework.h"
#include "tools/audio/trim/trimaudiowork.h"
#include "tools/audio/visualizer/visualizerwork.h"
#include "tools/file/compress/compresswork.h"
#include "tools/file/metadata/metadatawork.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/collage/createcollage.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/editphoto/editphoto.h"
#include "tools/image/frame/addbackground.h"
#include "tools/image/redact/redactimage.h"
#include "tools/video/crop/cropvideocheck.h"
#include "tools/video/join/joincheck.h"
#include "tools/video/redact/redactvideocheck.h"
#include "tools/video/snapshots/snapshotscheck.h"
#include "tools/video/speed/speedcheck.h"
#include "tools/video/split/splitvideocheck.h"
#include "tools/video/trim/trimvideocheck.h"

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
    {QStringLiteral("trim audio"), TrimAudioWork::selfCheck},
    {QStringLiteral("mono"), AudioChannelsWork::selfCheck},
    {QStringLiteral("bleep"), BleepWork::selfCheck},
    {QStringLiteral("normalize"), NormalizeWork::checkPodcast},
    {QStringLiteral("normalize peak"), NormalizeWork::checkPeak},
    {QStringLiteral("visualize"), VisualizerWork::checkWave},
    {QStringLiteral("visualize bars+bg"), VisualizerWork::checkBarsOnPicture},
    {QStringLiteral("compress audio"), CompressWork::checkAudio},
    {QStringLiteral("audio metadata"), MetadataWork::checkAudio},
    {QStringLiteral("trim video"), TrimVideoCheck::reencoded},
    {QStringLiteral("trim video fast"), TrimVideoCheck::fast},
    {QStringLiteral("split video"), SplitVideoCheck::split},
    {QStringLiteral("crop video"), CropVideoCheck::crop},
    {QStringLiteral("speed 2x"), SpeedCheck::twice},
    {QStringLiteral("speed .25x"), SpeedCheck::quarter},
    {QStringLiteral("snapshots"), SnapshotsCheck::snapshots},
    {QStringLiteral("join"), JoinCheck::join},
    {QStringLiteral("redact blur"), RedactVideoCheck::blur},
    {QStringLiteral("redact pixelate+range"), RedactVideoCheck::pixelateRange},
    {QStringLiteral("redact black"), RedactVideoCheck::black},
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
