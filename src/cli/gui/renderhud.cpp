#include "cli/gui/renderhud.h"

#include "app/hudview.h"
#include "cli/gui/snapshot.h"
#include "core/job.h"

#include <QVBoxLayout>
#include <QWidget>

namespace CLI {

QString renderHud(const QString& pngPath)
{
    const auto running = Job::create(QStringLiteral("Converting to MP4"), QStringLiteral("geese.mov"), 0);
    running->setProgress(0.42);
    running->setRemaining(37);
    const auto finished = Job::create(QStringLiteral("Converting to MP4"), QStringLiteral("3 of 3 saved"), 0);
    finished->setProgress(1.0);
    finished->setState({Job::Phase::done, {}});

    Backdrop background;
    auto* stack = new QVBoxLayout(&background);
    stack->setContentsMargins(14, 14, 14, 14);
    stack->setSpacing(10);
    stack->addWidget(new HUDView(running), 0, Qt::AlignHCenter);
    stack->addWidget(new HUDView(finished), 0, Qt::AlignHCenter);
    return snapshot(background, QSize(328, 186), pngPath);
}

} // namespace CLI
