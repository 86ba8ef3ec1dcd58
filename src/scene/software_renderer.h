// What the GL renderer's name tells a host: whether it draws on the processor, where every
// frame, pixel and sample costs a processor's time, and so how many samples a pixel to draw
// with where none are asked for. The frame clock's pacing asks the same question.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace roses {

// Whether a GL renderer of that name draws on the processor (llvmpipe, softpipe,
// SwiftShader, Windows' WARP, Apple's software renderer): there every frame costs a processor.
bool software_renderer(std::string_view renderer);

// Samples a pixel for edges smoothed by multisampling where none are asked for: a GPU
// multisamples at little cost, while a software renderer would pay for every sample on the
// processor, as it would for every frame.
inline constexpr std::int32_t hardware_samples = 4;

// The samples asked for, else hardware_samples on a renderer that is not a software one and
// none on one that is.
std::int32_t choose_samples(std::optional<std::int32_t> asked, std::string_view renderer);

} // namespace roses
