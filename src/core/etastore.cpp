#include "core/etastore.h"

#include "core/settings.h"

#include <QSettings>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace {

const QString historyKey = QStringLiteral("etaHistory");
const QString baseKey = QStringLiteral("base");
const QString perMBKey = QStringLiteral("perMB");

QVariantMap asMap(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap ? value.toMap() : QVariantMap();
}

QVariantMap readHistory()
{
    return asMap(Settings::store()->value(historyKey));
}

// A finite number, or none for anything else (text, lists, infinities).
std::optional<double> number(const QVariantMap& entry, const QString& key)
{
    const QVariant v = entry.value(key);
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (!ok || !std::isfinite(d) || v.typeId() == QMetaType::Bool) return std::nullopt;
    return d;
}

double mebibytes(qint64 bytes)
{
    return double(bytes) / 1048576.0;
}

} // namespace

namespace ETAStore {

std::optional<double> expectedDuration(const QString& title, qint64 bytes)
{
    const QVariantMap entry = asMap(readHistory().value(title));
    const std::optional<double> base = number(entry, baseKey);
    const std::optional<double> perMB = number(entry, perMBKey);
    if (!base || !perMB) return std::nullopt;
    return *perMB * mebibytes(bytes) + *base;
}

void record(const QString& title, qint64 bytes, double seconds)
{
    if (!(seconds > 0.2) || !std::isfinite(seconds)) return;
    QVariantMap history = readHistory();
    QVariantMap entry = asMap(history.value(title));

    const double b = std::min(0.25 * seconds, 1.0);
    const std::optional<double> oldBase = number(entry, baseKey);
    entry[baseKey] = oldBase ? 0.4 * b + 0.6 * *oldBase : b;

    // Without input bytes the run says nothing about the cost per mebibyte; dividing by the
    // 0.01 floor would store a rate a hundred times the run's own time.
    if (bytes > 0) {
        const double m = (seconds - b) / std::max(mebibytes(bytes), 0.01);
        const std::optional<double> oldPerMB = number(entry, perMBKey);
        entry[perMBKey] = oldPerMB ? 0.4 * m + 0.6 * *oldPerMB : m;
    }

    history[title] = entry;
    Settings::store()->setValue(historyKey, history);
}

} // namespace ETAStore
