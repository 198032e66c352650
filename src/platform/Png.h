#pragma once

// PNG files: snapshots of what was painted, and the pictures tests compare against.

#include "base/Exception.h"
#include "platform/Image.h"

#include <string>

namespace ws::platform {

// A picture file that cannot be read or written; the message names the file.
WS_DECLARE_EXCEPTION(EPngError, Exception)

// Writes 8-bit RGBA. The file is replaced in one step: a failure leaves the old file as it was.
void WritePng(const Image& image, const std::string& path);

// Reads any PNG (grey, palette, RGB, with or without alpha, 16-bit, interlaced) as ARGB32.
// A damaged or truncated file throws EPngError.
Image ReadPng(const std::string& path);

} // namespace ws::platform
