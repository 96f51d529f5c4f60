#pragma once

#include <QString>
#include <QStringList>

// Terminal windows opened in a folder.
namespace Terminal {

// The programs that open the desktop's default terminal, in order of preference.
QStringList defaultPrograms();
// Terminals a user may prefer to the default one ("Alternative terminal"), in order of preference.
QStringList alternativePrograms();

// The arguments that make `program` (a name or a full path) open in `folder`; it is started in
// that folder as well, which is all that the default terminal's alternatives entry honours.
QStringList arguments(const QString& program, const QString& folder);

} // namespace Terminal
