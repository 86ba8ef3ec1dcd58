#include "events/events_log.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <string>

#include "scene/frame.h"

namespace roses {
namespace {

// Enough digits to read each value back exactly; JSON has no NaN or infinity.
std::string number(float value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    return text;
}

std::string number(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string pair(complex_f value) {
    std::string text(1, '[');
    text.append(number(value.real()));
    text.push_back(',');
    text.append(number(value.imag()));
    text.push_back(']');
    return text;
}

// What follows the event's name: its monitor, when the run has several.
std::string monitor_field(std::int32_t monitor) {
    return monitor == events_log::no_monitor ? std::string()
                                             : ",\"monitor\":" + std::to_string(monitor);
}

} // namespace

void events_log::checked(int written) {
    if (written < 0 && error == 0) {
        error = errno;
    }
}

void events_log::start(std::uint32_t seed, std::int32_t width, std::int32_t height,
                       const projection& view) {
    if (file == nullptr) {
        return;
    }
    checked(std::fprintf(file,
                         "{\"event\":\"start\",\"seed\":%" PRIu32 ",\"width\":%" PRId32
                         ",\"height\":%" PRId32 ",\"fovy\":%s,\"aspect\":%s}\n",
                         seed, width, height, number(view.fovy).c_str(),
                         number(view.aspect).c_str()));
}

void events_log::start(std::uint32_t seed, std::int32_t monitor, const monitor_rect& place,
                       const projection& view) {
    if (file == nullptr) {
        return;
    }
    checked(std::fprintf(file,
                         "{\"event\":\"start\"%s,\"seed\":%" PRIu32 ",\"x\":%" PRId32
                         ",\"y\":%" PRId32 ",\"width\":%" PRId32 ",\"height\":%" PRId32
                         ",\"fovy\":%s,\"aspect\":%s}\n",
                         monitor_field(monitor).c_str(), seed, place.x, place.y, place.width,
                         place.height, number(view.fovy).c_str(), number(view.aspect).c_str()));
}

void events_log::record(const garden_event& event, std::int64_t step, std::int32_t monitor) {
    if (file == nullptr) {
        return;
    }
    const std::string tag = monitor_field(monitor);
    switch (event.what) {
    case garden_event::kind::search: {
        const rose_shape& shape = *event.shape;
        checked(std::fprintf(file,
                             "{\"event\":\"search\"%s,\"step\":%" PRId64 ",\"slot\":%" PRId32
                             ",\"c\":%s,\"candidates\":%" PRId64 ",\"hops\":%" PRId32
                             ",\"point_count\":%" PRId32 ",\"centre\":%s,\"angle\":%s,\"radius\":%s"
                             ",\"micros\":%" PRId64 "}\n",
                             tag.c_str(), step, event.slot, pair(shape.c).c_str(), event.candidates,
                             shape.hops, shape.point_count, pair(shape.centre).c_str(),
                             number(shape.angle).c_str(), number(shape.radius).c_str(),
                             event.micros));
        break;
    }
    case garden_event::kind::plant: {
        const rose& planted = *event.subject;
        checked(std::fprintf(file,
                             "{\"event\":\"plant\"%s,\"step\":%" PRId64 ",\"slot\":%" PRId32
                             ",\"colour\":[%d,%d,%d],\"count\":%" PRId32 "}\n",
                             tag.c_str(), step, event.slot, planted.colour[0], planted.colour[1],
                             planted.colour[2], planted.count));
        break;
    }
    case garden_event::kind::commit: {
        const rose_shape& shape = *event.shape;
        checked(std::fprintf(file,
                             "{\"event\":\"commit\"%s,\"step\":%" PRId64 ",\"slot\":%" PRId32
                             ",\"c\":%s,\"hops\":%" PRId32 ",\"point_count\":%" PRId32
                             ",\"angle\":%s,\"radius\":%s,\"age\":%" PRId32 "}\n",
                             tag.c_str(), step, event.slot, pair(shape.c).c_str(), shape.hops,
                             shape.point_count, number(shape.angle).c_str(),
                             number(shape.radius).c_str(), event.subject->age));
        break;
    }
    case garden_event::kind::retire:
        checked(std::fprintf(file,
                             "{\"event\":\"retire\"%s,\"step\":%" PRId64 ",\"slot\":%" PRId32 "}\n",
                             tag.c_str(), step, event.slot));
        break;
    }
}

} // namespace roses
