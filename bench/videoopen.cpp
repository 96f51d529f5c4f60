// Time from opening a video window's model to its first picture and to its filled thumbnail
// strip, on a 60 s 1080p clip made in the folder given (stills, as on a machine that cannot
// play: the offscreen platform). Prints the medians over ROUNDS openings (default 5).
// Usage: bench_videoopen DIR

#include "toolkit/video/videomodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>

namespace {

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_videoopen DIR\n");
        return 2;
    }
    const QString clip = QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("long.mp4"));
    if (!QFileInfo::exists(clip)) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"), {"-v",
                                           "error",
                                           "-y",
                                           "-f",
                                           "lavfi",
                                           "-i",
                                           "testsrc2=size=1920x1080:rate=30:duration=60",
                                           "-f",
                                           "lavfi",
                                           "-i",
                                           "sine=d=60",
                                           "-c:v",
                                           "libx264",
                                           "-preset",
                                           "veryfast",
                                           "-pix_fmt",
                                           "yuv420p",
                                           "-c:a",
                                           "aac",
                                           "-shortest",
                                           clip});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            std::fprintf(stderr, "ffmpeg could not make the clip\n");
            return 1;
        }
    }
    const int rounds =
        std::max(1, qEnvironmentVariableIntValue("ROUNDS") ? qEnvironmentVariableIntValue("ROUNDS") : 5);
    QList<double> firstPicture, strip;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        VideoModel model(clip);
        double picture = -1, thumbs = -1;
        QObject::connect(&model, &VideoModel::pictureChanged, [&] {
            if (picture < 0 && !model.picture().isNull()) picture = clock.nsecsElapsed() / 1e6;
        });
        QObject::connect(&model, &VideoModel::thumbsChanged, [&] { thumbs = clock.nsecsElapsed() / 1e6; });
        if (!QTest::qWaitFor([&] { return model.isSettled(); }, 120000)) {
            std::fprintf(stderr, "the model did not settle\n");
            return 1;
        }
        firstPicture << picture;
        strip << thumbs;
    }
    std::printf("open to first picture: %.0f ms\nopen to thumbnail strip: %.0f ms\n", median(firstPicture),
                median(strip));
    return 0;
}
