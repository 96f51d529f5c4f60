#include "tools/toolwindows.h"

#include "core/freedmemory.h"
#include "toolkit/toolcontext.h"
#include "toolkit/toolview.h"
#include "toolkit/toolwindow.h"
#include "tools/audio/bleep/bleepaudioview.h"
#include "tools/audio/channels/audiochannelsview.h"
#include "tools/audio/normalize/normalizeview.h"
#include "tools/audio/trim/trimaudioview.h"
#include "tools/audio/visualizer/visualizerview.h"
#include "tools/file/compress/compressview.h"
#include "tools/file/metadata/metadataview.h"
#include "tools/image/annotate/annotateview.h"
#include "tools/image/collage/collageview.h"
#include "tools/image/crop/cropimageview.h"
#include "tools/image/editphoto/editphotoview.h"
#include "tools/image/frame/addbackgroundview.h"
#include "tools/image/redact/redactimageview.h"
#include "tools/pdf/merge/mergepdfview.h"
#include "tools/pdf/organize/organizepdfview.h"
#include "tools/video/crop/cropvideoview.h"
#include "tools/video/join/joinvideosview.h"
#include "tools/video/redact/redactvideoview.h"
#include "tools/video/snapshots/snapshotsview.h"
#include "tools/video/speed/speedview.h"
#include "tools/video/split/splitvideoview.h"
#include "tools/video/trim/trimvideoview.h"

#include <QCursor>
#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <iterator>

namespace ToolWindows {

namespace {

template <class View> ToolView* make(std::shared_ptr<ToolContext> context)
{
    return new View(std::move(context));
}

// The tools the wheel runs at once never reach a window through it; asked for one, they get
// a small one with their frame and nothing in it.
ToolView* empty(std::shared_ptr<ToolContext> context)
{
    return new ToolView(std::move(context));
}

// Indexed by ToolID.
const Route table[] = {
    {ToolID::compress, {480, 470}, make<CompressView>},
    {ToolID::removeMetadata, {480, 560}, make<MetadataView>},
    {ToolID::editImage, {640, 780}, make<EditPhotoView>},
    {ToolID::annotateImage, {820, 700}, make<AnnotateView>},
    {ToolID::frameImage, {560, 720}, make<AddBackgroundView>},
    {ToolID::cropImage, {460, 640}, make<CropImageView>},
    {ToolID::normalizeAudio, {460, 340}, make<NormalizeView>},
    {ToolID::muteVideo, {320, 200}, empty},
    {ToolID::trimVideo, {720, 600}, make<TrimVideoView>},
    {ToolID::splitPDF, {320, 200}, empty},
    {ToolID::organizePDF, {720, 620}, make<OrganizePDFView>},
    {ToolID::extractArchive, {320, 200}, empty},
    {ToolID::createPDF, {320, 200}, empty},
    {ToolID::mergePDF, {460, 480}, make<MergePDFView>},
    {ToolID::cropVideo, {640, 680}, make<CropVideoView>},
    {ToolID::changeVideoSpeed, {640, 560}, make<SpeedView>},
    {ToolID::joinVideos, {480, 480}, make<JoinVideosView>},
    {ToolID::videoSnapshots, {720, 640}, make<SnapshotsView>},
    {ToolID::splitVideo, {720, 620}, make<SplitVideoView>},
    {ToolID::audioToVideo, {560, 560}, make<VisualizerView>},
    {ToolID::trimAudio, {640, 420}, make<TrimAudioView>},
    {ToolID::audioChannels, {560, 470}, make<AudioChannelsView>},
    {ToolID::createCollage, {720, 680}, make<CollageView>},
    {ToolID::redactImage, {760, 680}, make<RedactImageView>},
    {ToolID::redactVideo, {760, 680}, make<RedactVideoView>},
    {ToolID::redactAudio, {700, 470}, make<BleepAudioView>},
};
static_assert(std::size(table) == int(ToolID::redactAudio) + 1);

QList<ToolWindow*>& registry()
{
    static QList<ToolWindow*> windows;
    return windows;
}

// Centred on the available area of the screen under the pointer, else of the primary screen.
void place(QWidget& window, QSize size)
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    window.move(qRound(area.x() + (area.width() - size.width()) / 2.0),
                qRound(area.y() + (area.height() - size.height()) / 2.0));
}

} // namespace

std::span<const Route> routes()
{
    return table;
}

ToolWindow* open(ToolID tool, const QStringList& files)
{
    if (files.isEmpty()) {
        qWarning().noquote()
            << QStringLiteral("Tolvane: %1 opened without files; nothing to show").arg(rawValue(tool));
        return nullptr;
    }
    const Route& route = table[int(tool)];
    auto context = std::make_shared<ToolContext>(tool, files);
    auto* window = new ToolWindow(route.make(context), route.size);
    window->setWindowTitle(name(tool));
    context->setWindow(window);
    registry() << window;
    const auto forget = [window] { registry().removeOne(window); };
    QObject::connect(window, &ToolWindow::closing, window, forget);
    QObject::connect(window, &QObject::destroyed, [forget] {
        forget(); // also one deleted without closing
        // The window's pictures go with it; the pages they held go back to the system.
        FreedMemory::giveBackSoon();
    });
    place(*window, route.size);
    window->show();
    window->activateWindow();
    return window;
}

QList<ToolWindow*> openWindows()
{
    return registry();
}

} // namespace ToolWindows
