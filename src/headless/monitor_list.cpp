#include "headless/monitor_list.h"

#include <optional>
#include <utility>

#include "options/option_reader.h"

namespace roses {
namespace {

// WxH+X+Y, with 0 allowed for a side so that an empty rectangle is named as such.
std::optional<monitor_rect> parse_rect(std::string_view text) {
    const auto cross = text.find_first_of("xX");
    const auto first_plus = text.find('+');
    if (cross == std::string_view::npos || first_plus == std::string_view::npos ||
        first_plus < cross) {
        return std::nullopt;
    }
    const auto second_plus = text.find('+', first_plus + 1);
    if (second_plus == std::string_view::npos) {
        return std::nullopt;
    }
    const auto width = parse_number<std::int32_t>(text.substr(0, cross));
    const auto height = parse_number<std::int32_t>(text.substr(cross + 1, first_plus - cross - 1));
    const auto x =
        parse_number<std::int32_t>(text.substr(first_plus + 1, second_plus - first_plus - 1));
    const auto y = parse_number<std::int32_t>(text.substr(second_plus + 1));
    if (!width || !height || !x || !y) {
        return std::nullopt;
    }
    return monitor_rect{*x, *y, *width, *height};
}

} // namespace

std::string parse_monitor_list(std::string_view flag, std::string_view text, std::int32_t width,
                               std::int32_t height, std::vector<monitor_rect>& monitors) {
    const std::string name(flag);
    std::vector<std::string_view> words;
    std::size_t at = 0;
    for (;;) {
        const auto comma = text.find(',', at);
        words.push_back(text.substr(at, comma == std::string_view::npos ? comma : comma - at));
        if (comma == std::string_view::npos) {
            break;
        }
        at = comma + 1;
    }
    std::vector<monitor_rect> read;
    for (const std::string_view word : words) {
        const auto rect = parse_rect(word);
        if (!rect) {
            return name + " needs rectangles WxH+X+Y separated by commas, not " +
                   roses::quoted(word) + " in " + roses::quoted(text);
        }
        if (rect->width == 0 || rect->height == 0) {
            return name + ": the rectangle " + roses::quoted(word) + " is empty";
        }
        // 64-bit sums: sides and corners each fit 32 bits, their sums need not.
        if (std::int64_t{rect->x} + rect->width > width ||
            std::int64_t{rect->y} + rect->height > height) {
            return name + ": the rectangle " + roses::quoted(word) + " reaches outside the " +
                   std::to_string(width) + "x" + std::to_string(height) + " picture";
        }
        for (std::size_t i = 0; i < read.size(); ++i) {
            if (overlap(*rect, read[i])) {
                return name + ": the rectangle " + roses::quoted(word) + " overlaps " +
                       roses::quoted(words[i]);
            }
        }
        read.push_back(*rect);
    }
    monitors = std::move(read);
    return {};
}

} // namespace roses
