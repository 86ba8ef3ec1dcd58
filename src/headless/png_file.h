// Writing RGB pictures as PNG files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace roses {

// Writes width x height RGB bytes (top row first) to an open file; returns an empty string
// or what went wrong. The file is left open.
std::string write_png(std::FILE* file, std::int32_t width, std::int32_t height,
                      const std::vector<std::uint8_t>& rgb);

} // namespace roses
