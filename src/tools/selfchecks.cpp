#include "tools/selfchecks.h"

#include "core/converterror.h"
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
#include "tools/samplearchive.h"
#include "tools/video/crop/cropvideowork.h"
#include "tools/video/join/joinwork.h"
#include "tools/video/redact/redactvideowork.h"
#include "tools/video/snapshots/snapshotswork.h"
#include "tools/video/speed/speedwork.h"
#include "tools/video/split/splitvideowork.h"
#include "tools/video/trim/trimvideowork.h"

#include <QDir>
#include <QFileInfo>

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

// The samples, each by its extension.
const QString jpg = QStringLiteral("photo.jpg"), png = QStringLiteral("photo.png"),
              mp4 = QStringLiteral("clip.mp4"), mov = QStringLiteral("clip.mov"),
              mp3 = QStringLiteral("song.mp3"), pdf = QStringLiteral("sample.pdf");

const Check table[] = {
    {ToolID::cropImage, QStringLiteral("crop"), {jpg}, CropImage::selfCheck},
    {ToolID::frameImage, QStringLiteral("add bg"), {jpg}, AddBackground::selfCheck},
    {ToolID::editImage, QStringLiteral("edit"), {jpg}, EditPhoto::selfCheck},
    {ToolID::annotateImage, QStringLiteral("annotate"), {jpg}, AnnotateImage::selfCheck},
    {ToolID::redactImage, QStringLiteral("redact"), {jpg}, RedactImage::selfCheck},
    {ToolID::createCollage, QStringLiteral("collage"), {jpg, png}, CreateCollage::selfCheck},
    {ToolID::compress, QStringLiteral("compress image"), {jpg}, CompressWork::checkImage},
    {ToolID::removeMetadata, QStringLiteral("metadata strip"), {jpg}, MetadataWork::checkImageStrip},
    {ToolID::removeMetadata, QStringLiteral("metadata edit"), {jpg}, MetadataWork::checkImageEdit},
    {ToolID::createPDF, QStringLiteral("create pdf"), {jpg, png}, instant(ToolID::createPDF, {jpg, png})},
    {ToolID::compress, QStringLiteral("compress pdf"), {pdf}, CompressWork::checkPDF},
    {ToolID::removeMetadata, QStringLiteral("pdf metadata"), {pdf}, MetadataWork::checkPDF},
    {ToolID::splitPDF, QStringLiteral("split pdf"), {pdf}, instant(ToolID::splitPDF, {pdf})},
    {ToolID::mergePDF, QStringLiteral("merge pdf"), {pdf}, MergePDFWork::selfCheck},
    {ToolID::organizePDF, QStringLiteral("organize pdf"), {pdf}, OrganizePDFWork::selfCheck},
    {ToolID::trimAudio, QStringLiteral("trim audio"), {mp3}, TrimAudioWork::selfCheck},
    {ToolID::audioChannels, QStringLiteral("mono"), {mp3}, AudioChannelsWork::selfCheck},
    {ToolID::redactAudio, QStringLiteral("bleep"), {mp3}, BleepWork::selfCheck},
    {ToolID::normalizeAudio, QStringLiteral("normalize"), {mp3}, NormalizeWork::checkPodcast},
    {ToolID::normalizeAudio, QStringLiteral("normalize peak"), {mp3}, NormalizeWork::checkPeak},
    {ToolID::audioToVideo, QStringLiteral("visualize"), {mp3}, VisualizerWork::checkWave},
    {ToolID::audioToVideo,
     QStringLiteral("visualize bars+bg"),
     {mp3, jpg},
     VisualizerWork::checkBarsOnPicture},
    {ToolID::compress, QStringLiteral("compress audio"), {mp3}, CompressWork::checkAudio},
    {ToolID::removeMetadata, QStringLiteral("audio metadata"), {mp3}, MetadataWork::checkAudio},
    {ToolID::trimVideo, QStringLiteral("trim video"), {mp4}, TrimVideoWork::checkReencoded},
    {ToolID::trimVideo, QStringLiteral("trim video fast"), {mp4}, TrimVideoWork::checkFast},
    {ToolID::splitVideo, QStringLiteral("split video"), {mp4}, SplitVideoWork::selfCheck},
    {ToolID::cropVideo, QStringLiteral("crop video"), {mp4}, CropVideoWork::selfCheck},
    {ToolID::changeVideoSpeed, QStringLiteral("speed 2x"), {mp4}, SpeedWork::checkTwice},
    {ToolID::changeVideoSpeed, QStringLiteral("speed .25x"), {mp4}, SpeedWork::checkQuarter},
    {ToolID::videoSnapshots, QStringLiteral("snapshots"), {mp4}, SnapshotsWork::selfCheck},
    {ToolID::joinVideos, QStringLiteral("join"), {mp4, mov}, JoinWork::selfCheck},
    {ToolID::redactVideo, QStringLiteral("redact blur"), {mp4}, RedactVideoWork::checkBlur},
    {ToolID::redactVideo,
     QStringLiteral("redact pixelate+range"),
     {mp4},
     RedactVideoWork::checkPixelateRange},
    {ToolID::redactVideo, QStringLiteral("redact black"), {mp4}, RedactVideoWork::checkBlack},
    {ToolID::muteVideo, QStringLiteral("mute"), {mp4}, instant(ToolID::muteVideo, {mp4})},
    {ToolID::compress, QStringLiteral("compress video"), {mp4}, CompressWork::checkVideo},
    {ToolID::removeMetadata, QStringLiteral("video metadata strip"), {mp4}, MetadataWork::checkVideoStrip},
    {ToolID::extractArchive, QStringLiteral("extract archive"), {png, jpg}, SampleArchive::extract},
};

} // namespace

std::span<const Check> all()
{
    return table;
}

void requireSamples(const Check& check, const QString& samples)
{
    // A sample that was never there isn't "gone": the folder is named, as the user may have
    // given the wrong one.
    for (const QString& name : check.samples)
        if (!QFileInfo::exists(QDir(samples).filePath(name)))
            throw ConvertError::failed(
                QStringLiteral("%1 is not in %2").arg(name, QDir::toNativeSeparators(samples)));
}

} // namespace SelfChecks
