#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// One table of a spreadsheet: its name and its rows of cell texts. Rows may differ in length;
// an empty text is an empty cell.
struct Sheet
{
    QString name;
    QList<QStringList> rows;

    // The cell's numeric text when it reads as a plain decimal number ("42", "-3", ".5", "1e5"),
    // trimmed of spaces and tabs and otherwise unchanged; nothing for other texts, for texts of
    // 20 characters or more and for leading zeros ("007").
    static std::optional<QString> number(const QString& cell);
};
