// Encoding RGB pictures as PNG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace roses {

// Encodes width x height RGB bytes (top row first) into bytes; returns an empty string or
// what went wrong. Encoding in memory keeps the writing of the file, and its failures, in
// one place for every output.
[[nodiscard]] std::string encode_png(std::int32_t width, std::int32_t height,
                                     const std::vector<std::uint8_t>& rgb,
                                     std::vector<std::uint8_t>& bytes);

} // namespace roses
