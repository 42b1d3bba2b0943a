#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads a whole plain file of 1 to maxSize bytes. False when it cannot be opened or read, is not
// a plain file, is empty, or is larger than maxSize (then *tooBig, when given, is set).
// A file that shrinks while being read is taken as far as it went.
bool ReadWholeFile(const char *path, std::size_t maxSize, std::vector<std::uint8_t> &out, bool *tooBig = nullptr);
