#pragma once

#include <QByteArray>
#include <QVariant>
#include <optional>

// Property lists in their XML and binary ("bplist00") forms, as plain values: dictionaries
// become QVariantMap, arrays QVariantList, strings QString, data QByteArray, integers qint64,
// reals double, booleans bool and dates QDateTime.
namespace PropertyList {

// The top value of `bytes`, or nothing when they are not a well-formed property list. Bounded
// for hostile input: references out of range, cycles and nesting past 64 levels are refused.
std::optional<QVariant> read(const QByteArray& bytes);

} // namespace PropertyList
