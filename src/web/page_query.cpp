#include "web/page_query.h"

#include "options/option_reader.h"
#include "options/option_table.h"
#include "scene/frame_clock.h"

namespace roses {
namespace {

static_assert(options::page::battery_fps.default_value == steps_per_second);

std::string read_pair(const option& key, std::string_view value, page_query& query) {
    const auto refuse = [&] { return needs(key.name, key.needs, value); };
    if (&key == &options::page::seed) {
        const auto seed = whole_value<std::uint32_t>(key, value);
        if (!seed) {
            return refuse();
        }
        query.seed = *seed;
    } else if (&key == &options::page::picture_size) {
        const auto size = size_value(key, value);
        if (!size) {
            return refuse();
        }
        query.width = size->first;
        query.height = size->second;
    } else if (&key == &options::page::max_fps || &key == &options::page::battery_fps) {
        const auto fps = whole_value<std::int32_t>(key, value);
        if (!fps) {
            return refuse();
        }
        if (&key == &options::page::max_fps) {
            query.fps = *fps;
        } else {
            query.battery_fps = *fps;
        }
    } else if (&key == &options::page::samples) {
        const auto samples = choice_value(key, value);
        if (!samples) {
            return refuse();
        }
        query.samples = *samples;
    } else if (&key == &options::page::frames) {
        const auto frames = whole_value<std::int64_t>(key, value);
        if (!frames) {
            return refuse();
        }
        query.frames = *frames;
    }
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
        const bool with_value = equals != std::string_view::npos;
        // Other keys belong to whoever links to the page (trackers, cache breakers).
        const option* key =
            find_option(options::page::all, page_program, pair.substr(0, equals), with_value);
        if (key == &options::page::check) {
            query.check = true;
        } else if (key && with_value) {
            std::string problem = read_pair(*key, pair.substr(equals + 1), query);
            if (first_problem.empty()) {
                first_problem = std::move(problem);
            }
        }
    }
    return first_problem;
}

} // namespace roses
