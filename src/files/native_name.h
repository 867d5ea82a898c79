#pragma once

#include <QString>

#include <string>

namespace hideaway {

/// The path as Windows itself reads it, for the wide calls of the system (CreateFileW and the
/// like). Qt makes every name absolute and long ("\\?\C:\..."), which turns a device name such
/// as NUL or COM1 into a file name no folder may hold; this keeps the path as given. Windows only.
std::wstring nativeName(const QString& path);

}  // namespace hideaway
