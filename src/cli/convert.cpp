#include "cli/convert.h"

#include "cli/cli.h"
#include "core/converterror.h"
#include "core/job.h"
#include "engines/converter.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace CLI {

int convert(const QStringList& rest)
{
    if (rest.size() < 2) {
        print(usageLine());
        return 2;
    }
    const QString format = rest.first();
    bool anyFailed = false;
    for (const QString& file : paths(rest.mid(1))) {
        const QString name = QFileInfo(file).fileName();
        Job job(QString(), QString(), 0);
        QElapsedTimer timer;
        timer.start();
        try {
            QStringList results;
            for (const QString& result : Converter::convert(file, format, job, [](double) {}))
                results << QFileInfo(result).fileName();
            print(QStringLiteral("✓ %1 → %2  (%3)")
                      .arg(name, results.join(QStringLiteral(", ")),
                           QString::asprintf("%.1fs", double(timer.nsecsElapsed()) / 1e9)));
        } catch (const std::exception& e) {
            anyFailed = true;
            print(QStringLiteral("✗ %1 → %2: %3").arg(name, format, errorDescription(e)));
        }
    }
    return anyFailed ? 1 : 0;
}

} // namespace CLI
