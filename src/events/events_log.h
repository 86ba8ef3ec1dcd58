// The machine-readable account of a run: one JSON object per line for the start and for
// every search, planting, commit and retirement.
#pragma once

#include <cstdint>
#include <cstdio>

#include "garden/rose_garden.h"
#include "scene/monitor_layout.h"

namespace roses {

struct projection;

class events_log {
  public:
    // Writes nothing when file is null.
    explicit events_log(std::FILE* file) : file(file) {}

    // Every line of a run with several monitors names its monitor; a run with one scene for
    // the whole picture writes its lines without that field.
    static constexpr std::int32_t no_monitor = -1;

    void start(std::uint32_t seed, std::int32_t width, std::int32_t height, const projection& view);
    // The start of one monitor's scene: where it is in the picture and its projection.
    void start(std::uint32_t seed, std::int32_t monitor, const monitor_rect& place,
               const projection& view);
    // An event of the step given (1 for the first tick and frame).
    void record(const garden_event& event, std::int64_t step, std::int32_t monitor = no_monitor);

    // The errno of the first write that failed, or 0: a full disk is noticed while the run
    // goes on, with its reason, rather than at the end.
    int write_error() const { return error; }

  private:
    void checked(int written);

    std::FILE* file;
    int error = 0;
};

} // namespace roses
