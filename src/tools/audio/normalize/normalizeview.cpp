#include "tools/audio/normalize/normalizeview.h"

#include "toolkit/segmented.h"
#include "toolkit/textlabel.h"
#include "toolkit/theme.h"
#include "tools/audio/normalize/normalizework.h"

#include <QFileInfo>
#include <QVBoxLayout>

NormalizeView::NormalizeView(std::shared_ptr<ToolContext> context, LoudnessTarget target, QWidget* parent)
    : ToolView(std::move(context), parent), m_target(target),
      m_subject(new TextLabel(subject(this->context().urls()), 13, QFont::DemiBold, Theme::ink())),
      m_targets(new Segmented), m_description(new TextLabel(QString(), 12.5, QFont::Normal, Theme::inkSoft()))
{
    QStringList labels;
    for (const LoudnessTarget t : allLoudnessTargets())
        labels << rawValue(t);
    m_targets->setOptions(labels);
    column()->setSpacing(14);
    column()->addWidget(m_subject);
    column()->addWidget(m_targets, 0, Qt::AlignLeft);
    column()->addWidget(m_description);
    column()->addStretch(1);
    primary(QStringLiteral("Normalize"));
    connect(m_targets, &Segmented::edited, this, &NormalizeView::choose);
    choose(int(allLoudnessTargets().indexOf(m_target)));
}

QString NormalizeView::description(LoudnessTarget target)
{
    switch (target) {
    case LoudnessTarget::streaming:
        return QStringLiteral("−14 LUFS, like Spotify and YouTube");
    case LoudnessTarget::podcast:
        return QStringLiteral("−16 LUFS, the usual podcast level");
    case LoudnessTarget::broadcast:
        return QStringLiteral("−23 LUFS, EBU R128 broadcast");
    case LoudnessTarget::peak:
        return QStringLiteral("Raise the loudest peak to −1 dB");
    }
    return QString();
}

QString NormalizeView::subject(const QStringList& files)
{
    if (files.size() == 1) return QFileInfo(files.first()).fileName();
    return QStringLiteral("%1 recordings").arg(files.size());
}

void NormalizeView::choose(int index)
{
    const QList<LoudnessTarget> all = allLoudnessTargets();
    if (index < 0 || index >= all.size()) return;
    m_target = all[index];
    m_targets->setSelected(index);
    m_description->setText(description(m_target));
}

void NormalizeView::apply()
{
    const LoudnessTarget target = m_target;
    context().run(QStringLiteral("Normalizing"), std::nullopt,
                  [target](const QString& file, Job& job, const Progress& progress) {
                      return ToolOps::normalize(file, target, job, progress);
                  });
}
