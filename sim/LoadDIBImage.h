#pragma once

#include "sim/ImageRecord.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Reads a device-independent bitmap (".bmp", with or without its 14-byte file header) and converts
// it to 24-bit RGB rows. Returns null on any failure after showing the failure's message through
// ShowLoaderMessage (caption "Error").
std::unique_ptr<ImageRecord> LoadDIBImage(const char *path);
// The same, but a failure only returns null: for pictures the program can do without.
std::unique_ptr<ImageRecord> LoadDIBImageQuietly(const char *path);

// Bitmaps with more pixels than this are refused ("Out of memory.") before anything is allocated.
constexpr std::int64_t kDIBMaxPixels = std::int64_t(1) << 26;

// The same conversion over bytes already in memory; name is only used in messages. maxPixels can
// lower the size limit (fuzzing keeps runs fast this way).
std::unique_ptr<ImageRecord> LoadDIBImageFromMemory(const std::uint8_t *data, std::size_t size, const char *name,
                                                    std::int64_t maxPixels = kDIBMaxPixels);
