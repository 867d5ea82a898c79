#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QString>

namespace hideaway {

/// A zero-based array of bytes owned by the handler that creates it; the library receives the
/// address of element 0.
using ByteBuffer = std::vector<std::uint8_t>;

/// The length in bytes of the file at path; a file beyond the 32-bit range gives the largest
/// 32-bit count, never a wrapped one. Throws AppError when there is no regular file there (a
/// missing file, a folder, a device or pipe, an empty name).
std::int32_t fileLength(const QString& path);

/// Re-sizes buffer to count + 1 zeroed elements and fills elements 0 to count - 1 with the file.
/// Throws AppError when the file cannot be opened or read, or when it no longer holds exactly
/// count bytes (it changed after it was measured). The file is closed on every path.
void LoadFileBytes(const QString& path, ByteBuffer& buffer, std::int16_t count);

/// Replaces the file at path by elements 0 to count - 1 of buffer, atomically: either the file
/// then holds exactly those bytes, or an existing file is left exactly as it was and no temporary
/// file remains. A device or pipe is written in place and never waited for: a pipe that no
/// program reads fails at once. A failure (count outside 0..buffer size and 0..32767, a path that
/// cannot be written, a write that stops part-way, a full disk) is passed to reportFailure as its
/// description alone. Returns whether every byte was saved.
bool SaveBytesToFile(const QString& path, const ByteBuffer& buffer, std::int32_t count,
                     const std::function<void(const QString&)>& reportFailure);

}  // namespace hideaway
