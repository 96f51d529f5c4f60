#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Regular expressions for the engines: each pattern is compiled once per process, on first use
// from any thread, and shared. Patterns are PCRE2 with Unicode properties (\w, \d and \s match
// beyond ASCII); flags, where wanted, are written into the pattern, such as "(?is)".
namespace Regex {

// The compiled form of `pattern`, safe to match from several threads at once. A pattern that
// doesn't compile is a programming error: debug builds stop, release builds never match.
const QRegularExpression& compiled(const QString& pattern);

// The groups of the first match in `text`: element 0 the whole match, element k the k-th group,
// the empty string for a group that took no part. No match gives nothing.
std::optional<QStringList> groups(const QString& text, const QString& pattern);

// `text` with every match replaced by `transform` of its groups (in the form of `groups`). The
// replacement is literal and never searched again.
QString replace(const QString& text, const QString& pattern,
                const std::function<QString(const QStringList& groups)>& transform);

// Every whole match in `text`, in order, without overlaps.
QStringList matches(const QString& text, const QString& pattern);

} // namespace Regex
