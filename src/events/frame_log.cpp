#include "events/frame_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace roses {

bool frame_log_wanted() {
    const char* log = std::getenv("ROSES_LOG_FRAMES");
    return log != nullptr && std::strcmp(log, "1") == 0;
}

void log_frame(std::int32_t width, std::int32_t height, double scale, std::uint64_t steps,
               std::optional<std::uint64_t> requests) {
    if (requests) {
        std::fprintf(stderr, "roses: frame %dx%d scale %g step %llu requests %llu\n", width, height,
                     scale, static_cast<unsigned long long>(steps),
                     static_cast<unsigned long long>(*requests));
    } else {
        std::fprintf(stderr, "roses: frame %dx%d scale %g step %llu\n", width, height, scale,
                     static_cast<unsigned long long>(steps));
    }
}

} // namespace roses
