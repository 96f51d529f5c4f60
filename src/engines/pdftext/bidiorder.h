#pragma once

#include <QString>
#include <vector>

// Lines of text that mix right-to-left scripts (Hebrew, Arabic) with others, as a PDF places
// their characters: from left to right on the page.
namespace PDFText {

// One character of a line and what it came with (a word's index, say), carried along as the
// characters are put in order.
struct PlacedChar
{
    char32_t c = 0;
    int tag = -1;
};

// Whether `text` holds a character of a right-to-left script.
bool hasRightToLeft(const QString& text);

// `line`, whose characters stand in the order they are placed on the page from left to right,
// put in the order it is read: the line reads right to left when it holds more characters of
// right-to-left scripts than of left-to-right ones; within it, runs of the other direction (and
// numbers) keep their own order.
void toReadingOrder(std::vector<PlacedChar>& line);

// `text` without the directional embedding and override marks that Poppler puts around the
// right-to-left words it has put in reading order, which would turn them round once more on
// screen. Poppler takes the space after such words on the page into the start of their
// embedding; it is put back after them.
QString withoutEmbeddings(const QString& text);

} // namespace PDFText
