#include "tools/selfchecks.h"

#include "core/toolid.h"
#include "engines/heavyengines.h"
#include "tools/audio/bleep/bleepcheck.h"
#include "tools/audio/channels/audiochannelscheck.h"
#include "tools/audio/normalize/normalizecheck.h"
#include "tools/audio/trim/trimaudiocheck.h"
#include "tools/audio/visualizer/visualizercheck.h"
#include "tools/image/annotate/annotateimage.h"
#include "tools/image/crop/cropimage.h"
#include "tools/image/editphoto/editphoto.h"
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
    {QStringLiteral("edit"), EditPhoto::selfCheck},
    {QStringLiteral("annotate"), AnnotateImage::selfCheck},
    {QStringLiteral("create pdf"),
     instant(ToolID::createPDF, {QStringLiteral("photo.jpg"), QStringLiteral("photo.png")})},
    {QStringLiteral("split pdf"), instant(ToolID::splitPDF, {QStringLiteral("sample.pdf")})},
    {QStringLiteral("trim audio"), TrimAudioCheck::trim},
    {QStringLiteral("mono"), AudioChannelsCheck::mono},
    {QStringLiteral("bleep"), BleepCheck::bleep},
    {QStringLiteral("normalize"), NormalizeCheck::podcast},
    {QStringLiteral("normalize peak"), NormalizeCheck::peak},
    {QStringLiteral("visualize"), VisualizerCheck::wave},
    {QStringLiteral("visualize bars+bg"), VisualizerCheck::barsOnPicture},
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
};

} // namespace

std::span<const Check> all()
{
    return table;
}

} // namespace SelfChecks
