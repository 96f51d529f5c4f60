#pragma once

#include <QString>

// Markdown's common subset, both ways: headings, rules, fenced code, block quotes, pipe tables,
// flat lists with task items, paragraphs; images, links, bold, italic, code and strike. No
// nested lists, setext headings, indented code, reference links or raw HTML.
namespace Markdown {

// The HTML fragment (no document head) of Markdown text; any text gives some HTML. Block
// quotes nest up to 32 deep; deeper ">" marks stay text.
QString html(const QString& markdown);

// The inline pass of `html` for one piece of text: code spans, backslash escapes, escaping,
// images, links, strong, emphasis and strike.
QString inlineHtml(const QString& text);

} // namespace Markdown
