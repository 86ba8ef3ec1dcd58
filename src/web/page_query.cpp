#include "web/page_query.h"

#include "common/option_reader.h"

namespace roses {
namespace {

std::string read_pair(std::string_view key, std::string_view value, page_query& query) {
    if (key == "seed") {
        const auto seed = parse_number<std::uint32_t>(value);
        if (!seed) {
            return needs(key, seed_wording, value);
        }
        query.seed = *seed;
    } else if (key == "size") {
        const auto size = parse_size(value, max_check_side);
        if (!size) {
            return needs(key, "WxH with each side from 1 to " + std::to_string(max_check_side),
                         value);
        }
        query.width = size->first;
        query.height = size->second;
    } else if (key == "fps" || key == "battery-fps") {
        const auto fps = parse_number<std::int32_t>(value);
        if (!fps || *fps < min_page_fps || *fps > max_page_fps) {
            return needs(key, "a whole number from 1 to 1000", value);
        }
        if (key == "fps") {
            query.fps = *fps;
        } else {
            query.battery_fps = *fps;
        }
    } else if (key == "samples") {
        const auto samples = parse_number<std::int32_t>(value);
        if (!samples || (*samples != 0 && *samples != page_samples)) {
            return needs(key, "0 or 4", value);
        }
        query.samples = *samples;
    } else if (key == "frames") {
        const auto frames = parse_number<std::int64_t>(value);
        if (!frames) {
            return needs(key, "a whole number of at least 0", value);
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
