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
#include "tools/pdf/merge/mergepdfwork.h"
#include "tools/pdf/organize/organizepdfwork.h"
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
    {ToolID::cropImage, QStringLiteral("crop"), CropImage::selfCheck},
    {ToolID::frameImage, QStringLiteral("add bg"), AddBackground::selfCheck},
    {ToolID::editImage, QStringLiteral("edit"), EditPhoto::selfCheck},
    {ToolID::annotateImage, QStringLiteral("annotate"), AnnotateImage::selfCheck},
    {ToolID::redactImage, QStringLiteral("redact"), RedactImage::selfCheck},
    {ToolID::createCollage, QStringLiteral("collage"), CreateCollage::selfCheck},
    {ToolID::compress, QStringLiteral("compress image"), CompressWork::checkImage},
    {ToolID::removeMetadata, QStringLiteral("metadata strip"), MetadataWork::checkImageStrip},
    {ToolID::removeMetadata, QStringLiteral("metadata edit"), MetadataWork::checkImageEdit},
    {ToolID::createPDF, QStringLiteral("create pdf"),
     instant(ToolID::createPDF, {QStringLiteral("photo.jpg"), QStringLiteral("photo.png")})},
    {ToolID::compress, QStringLiteral("compress pdf"), CompressWork::checkPDF},
    {ToolID::removeMetadata, QStringLiteral("pdf metadata"), MetadataWork::checkPDF},
    {ToolID::splitPDF, QStringLiteral("split pdf"),
     instant(ToolID::splitPDF, {QStringLiteral("sample.pdf")})},
    {ToolID::mergePDF, QStringLiteral("merge pdf"), MergePDFWork::selfCheck},
    {ToolID::organizePDF, QStringLiteral("organize pdf"), OrganizePDFWork::selfCheck},
    {ToolID::trimAudio, QStringLiteral("trim audio"), TrimAudioWork::selfCheck},
    {ToolID::audioChannels, QStringLiteral("mono"), AudioChannelsWork::selfCheck},
    {ToolID::redactAudio, QStringLiteral("bleep"), BleepWork::selfCheck},
    {ToolID::normalizeAudio, QStringLiteral("normalize"), NormalizeWork::checkPodcast},
    {ToolID::normalizeAudio, QStringLiteral("normalize peak"), NormalizeWork::checkPeak},
    {ToolID::audioToVideo, QStringLiteral("visualize"), VisualizerWork::checkWave},
    {ToolID::audioToVideo, QStringLiteral("visualize bars+bg"), VisualizerWork::checkBarsOnPicture},
    {ToolID::compress, QStringLiteral("compress audio"), CompressWork::checkAudio},
    {ToolID::removeMetadata, QStringLiteral("audio metadata"), MetadataWork::checkAudio},
    {ToolID::trimVideo, QStringLiteral("trim video"), TrimVideoWork::checkReencoded},
    {ToolID::trimVideo, QStringLiteral("trim video fast"), TrimVideoWork::checkFast},
    {ToolID::splitVideo, QStringLiteral("split video"), SplitVideoWork::selfCheck},
    {ToolID::cropVideo, QStringLiteral("crop video"), CropVideoWork::selfCheck},
    {ToolID::changeVideoSpeed, QStringLiteral("speed 2x"), SpeedWork::checkTwice},
    {ToolID::changeVideoSpeed, QStringLiteral("speed .25x"), SpeedWork::checkQuarter},
    {ToolID::videoSnapshots, QStringLiteral("snapshots"), SnapshotsWork::selfCheck},
    {ToolID::joinVideos, QStringLiteral("join"), JoinWork::selfCheck},
    {ToolID::redactVideo, QStringLiteral("redact blur"), RedactVideoWork::checkBlur},
    {ToolID::redactVideo, QStringLiteral("redact pixelate+range"), RedactVideoWork::checkPixelateRange},
    {ToolID::redactVideo, QStringLiteral("redact black"), RedactVideoWork::checkBlack},
    {ToolID::muteVideo, QStringLiteral("mute"), instant(ToolID::muteVideo, {QStringLiteral("clip.mp4")})},
    {ToolID::compress, QStringLiteral("compress video"), CompressWork::checkVideo},
    {ToolID::removeMetadata, QStringLiteral("video metadata strip"), MetadataWork::checkVideoStrip},
    {ToolID::extractArchive, QStringLiteral("extract archive"),
     instant(ToolID::extractArchive, {QStringLiteral("sample.zip")})},
};

} // namespace

std::span<const Check> all()
{
    return table;
}

} // namespace SelfChecks
