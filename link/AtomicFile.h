#pragma once

#include <string>
#include <string_view>

// Replaces a file's contents in one step: the bytes go to a new file beside it, reach the disk,
// and only then take the file's name. A crash, a full disk or an unwritable folder leaves the old
// file (or none) in place, never half a file.
namespace AtomicFile {

// Empty on success, else the system's words for what went wrong. A replaced file keeps its mode.
std::string Write(const std::string &path, std::string_view contents);

} // namespace AtomicFile
