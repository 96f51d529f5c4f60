#include "tools/video/join/joinvideosview.h"

#include "core/fmt.h"
#include "toolkit/filefacts.h"
#include "toolkit/orderlist.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/video/join/joinwork.h"

#include <QVBoxLayout>

JoinVideosView::JoinVideosView(std::shared_ptr<ToolContext> context, QWidget* parent)
    : ToolView(std::move(context), parent), m_probes(new FileFacts<Media::Probe>(Media::probe, this)),
      m_list(new OrderList(this->context().urls(),
                           [this](const QString& path) { return detail(path, m_probes->byFile()); })),
      m_problem(new TextLabel(QString(), 12, QFont::Normal, Theme::orange())),
      m_total(new TextLabel(QString(), 12, QFont::Normal, Theme::inkSoft()))
{
    addSource(m_probes);
    column()->setSpacing(10);
    column()->addWidget(new TextLabel(QStringLiteral("Drag to set the playback order. Clips are scaled to "
                                                     "match the first one."),
                                      12, QFont::Normal, Theme::inkSoft()));
    column()->addWidget(m_list->scrolled(), 1);
    m_problem->setWordWrap(true);
    column()->addWidget(m_problem);
    footer()->addWidget(m_total);
    primary(QStringLiteral("Join %1 Videos").arg(this->context().urls().size()));

    connect(m_list, &OrderList::urlsChanged, this, &JoinVideosView::refresh);
    connect(m_probes, &FactReader::published, this, [this] {
        m_list->refreshDetails();
        refresh();
    });
    m_probes->request(this->context().urls());
    refresh();
}

QString JoinVideosView::detail(const QString& path, const QHash<QString, Media::Probe>& probes)
{
    const QString size = Fmt::byteCount(Fmt::fileSize(path));
    const auto probe = probes.constFind(path);
    if (probe == probes.constEnd()) return size;
    return Fmt::time(probe->duration, false) + QStringLiteral(" · ") + size;
}

QString JoinVideosView::total(const QHash<QString, Media::Probe>& probes)
{
    double sum = 0;
    for (const Media::Probe& probe : probes)
        sum += probe.duration;
    return QStringLiteral("Total ") + Fmt::time(sum, false);
}

void JoinVideosView::refresh()
{
    m_total->setText(total(m_probes->byFile()));
    // The work refuses a clip without a picture: say so before it is tried.
    const std::optional<QString> blind = JoinWork::clipWithoutPicture(m_list->urls(), m_probes->byFile());
    m_problem->setText(blind ? JoinWork::noPicture(*blind) : QString());
    m_problem->setVisible(blind.has_value());
    setPrimaryAllowed(!blind);
}

void JoinVideosView::apply()
{
    const QStringList order = m_list->urls();
    context().runOnce(
        QStringLiteral("Joining videos"), QStringLiteral("%1 clips").arg(order.size()),
        [order](Job& job, const Progress& progress) { return ToolOps::join(order, job, progress); });
}
