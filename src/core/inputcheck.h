#pragma once

#include <QString>

// The look at an input before any work opens it.
namespace InputCheck {

// Throws ConvertError::unsupported with a plain reason when `path` (links followed) is a pipe, a
// device or a socket: reading one would wait for a writer or never end. Files, folders and
// missing paths pass; the work judges those.
void refuseSpecial(const QString& path);

} // namespace InputCheck
