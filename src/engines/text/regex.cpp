#include "engines/text/regex.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <memory>

namespace {

QStringList capturedGroups(const QRegularExpressionMatch& match)
{
    QStringList groups;
    const int count = match.lastCapturedIndex() + 1;
    const int total = qMax(count, match.regularExpression().captureCount() + 1);
    groups.reserve(total);
    for (int i = 0; i < total; ++i)
        groups.append(i < count ? match.captured(i) : QString());
    return groups;
}

} // namespace

namespace Regex {

const QRegularExpression& compiled(const QString& pattern)
{
    // Entries are never removed and each lives in its own allocation, so the reference stays
    // valid after the lock is released.
    static QMutex lock;
    static QHash<QString, std::shared_ptr<const QRegularExpression>> cache;
    const QMutexLocker locker(&lock);
    auto it = cache.constFind(pattern);
    if (it == cache.constEnd()) {
        auto expression =
            std::make_shared<QRegularExpression>(pattern, QRegularExpression::UseUnicodePropertiesOption);
        Q_ASSERT_X(expression->isValid(), "Regex", qPrintable(expression->errorString()));
        // Compiling now keeps the first matches of every thread from doing it again.
        expression->optimize();
        it = cache.insert(pattern, std::move(expression));
    }
    return **it;
}

std::optional<QStringList> groups(const QString& text, const QString& pattern)
{
    const QRegularExpressionMatch match = compiled(pattern).match(text);
    if (!match.hasMatch()) return std::nullopt;
    return capturedGroups(match);
}

QString replace(const QString& text, const QString& pattern,
                const std::function<QString(const QStringList& groups)>& transform)
{
    QRegularExpressionMatchIterator it = compiled(pattern).globalMatch(text);
    if (!it.hasNext()) return text;
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out += QStringView(text).mid(done, match.capturedStart() - done);
        out += transform(capturedGroups(match));
        done = match.capturedEnd();
    }
    out += QStringView(text).mid(done);
    return out;
}

QStringList matches(const QString& text, const QString& pattern)
{
    QStringList found;
    QRegularExpressionMatchIterator it = compiled(pattern).globalMatch(text);
    while (it.hasNext())
        found.append(it.next().captured(0));
    return found;
}

} // namespace Regex
