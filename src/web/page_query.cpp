#include "web/page_query.h"

#include <charconv>

namespace roses {
namespace {

template <typename number> std::optional<number> whole(std::string_view text) {
    number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// Address text arrives percent-encoded: an unusual character is shown as it was sent, which
// keeps the message on one line and free of control characters.
std::string quoted(std::string_view value) {
    std::string text(1, '\'');
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            text.push_back('?');
        } else {
            text.push_back(c);
        }
    }
    text.push_back('\'');
    return text;
}

std::string read_pair(std::string_view key, std::string_view value, page_query& query) {
    if (key == "seed") {
        const auto seed = whole<std::uint32_t>(value);
        if (!seed) {
            return "seed needs a whole number from 0 to 4294967295, not " + quoted(value);
        }
        query.seed = *seed;
    } else if (key == "size") {
        const std::size_t x = value.find('x');
        const auto width =
            x == std::string_view::npos ? std::nullopt : whole<std::int32_t>(value.substr(0, x));
        const auto height =
            x == std::string_view::npos ? std::nullopt : whole<std::int32_t>(value.substr(x + 1));
        if (!width || !height || *width < 1 || *height < 1 || *width > max_check_side ||
            *height > max_check_side) {
            return "size needs WxH with each side from 1 to " + std::to_string(max_check_side) +
                   ", not " + quoted(value);
        }
        query.width = *width;
        query.height = *height;
    } else if (key == "frames") {
        const auto frames = whole<std::int64_t>(value);
        if (!frames || *frames < 0) {
            return "frames needs a whole number of at least 0, not " + quoted(value);
        }
        query.frames = *frames;
    }
    // Other keys belong to whoever links to the page (trackers, cache breakers).
    return {};
}

} // namespace

std::string parse_page_query(std::string_view text, page_query& query) {
    if (!text.empty() && text.front() == '?') {
        text.remove_prefix(1);
    }
    std::string first_problem;
    while (!text.empty()) {
        const std::size_t amp = text.find('&');
        const std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        const std::size_t equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        if (equals == std::string_view::npos) {
            if (key == "events") {
                query.check = true;
            }
            continue;
        }
        std::string problem = read_pair(key, pair.substr(equals + 1), query);
        if (first_problem.empty()) {
            first_problem = std::move(problem);
        }
    }
    return first_problem;
}

} // namespace roses
