#pragma once

#include <QStringView>
#include <optional>

// The named character references of HTML 4 ("eacute", "nbsp", "mdash", …).
namespace HtmlEntities {

// The code point `name` (without "&" and ";", case-sensitive) stands for, or nothing.
std::optional<char32_t> codePoint(QStringView name);

} // namespace HtmlEntities
