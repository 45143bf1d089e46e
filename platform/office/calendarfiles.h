// File access for the reminder schedule (internal): folder listing, change
// stamps, whole-file reads and atomic replacement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::calendar::detail {

/// The *.ics files (any case of the extension) directly in \p folder, sorted.
std::vector<std::string> icsFilesIn(const std::string& folder);
/// Modification time (nanoseconds) and size of a regular file; false when
/// it is missing or not a regular file.
bool fileStamp(const std::string& path, int64_t* mtimeNs, int64_t* size);
/// The whole content of a file; false with the reason when unreadable.
bool readWholeFile(const std::string& path, std::string* text, std::string* error);
/// Replaces \p path by \p text through a flushed temporary file and a
/// rename, creating missing folders; false with the reason on failure.
bool replaceFile(const std::string& path, const std::string& text, std::string* error);
/// $XDG_DATA_HOME, or ~/.local/share when unset.
std::string dataHome();

} // namespace quorvel::calendar::detail
