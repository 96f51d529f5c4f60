#pragma once

#include "engines/media/media.h"
#include "toolkit/viewsource.h"

#include <QHash>
#include <QStringList>
#include <functional>

// What the Join Videos window reads of its clips: each file probed once, one after another on
// the loader pool, and all the answers published together. A file the probe cannot read keeps
// the probe's defaults (no length, no picture). Work still under way when the window closes
// delivers nothing. Main thread.
class ClipProbes : public ViewSource
{
    Q_OBJECT
  public:
    using Prober = std::function<Media::Probe(const QString& path)>;

    explicit ClipProbes(const QStringList& files, Prober prober = Media::probe, QObject* parent = nullptr);

    bool isSettled() const override { return m_settled; }
    // Empty until every file has been probed.
    const QHash<QString, Media::Probe>& probes() const { return m_probes; }

  private:
    QHash<QString, Media::Probe> m_probes;
    bool m_settled = false;
};
