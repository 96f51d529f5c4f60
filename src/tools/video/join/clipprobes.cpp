#include "tools/video/join/clipprobes.h"

#include "toolkit/pools.h"

ClipProbes::ClipProbes(const QStringList& files, Prober prober, QObject* parent) : ViewSource(parent)
{
    using Probes = QHash<QString, Media::Probe>;
    Pools::deliver<Probes>(
        Pools::loader(), this,
        [files, prober = std::move(prober)] {
            Probes probes;
            for (const QString& file : files)
                if (!probes.contains(file)) probes.insert(file, prober(file));
            return probes;
        },
        [this](Probes probes) {
            m_probes = std::move(probes);
            m_settled = true;
            emit settled();
        });
}
