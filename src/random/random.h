// The program-wide random sources and the colour function.
//
// Every random decision comes from one MT19937 engine seeded from the calendar clock at
// start-up. Both the worker thread (search, colours, wander) and the window thread (camera)
// draw from it, so every draw holds one lock that covers the engine and the normal
// generator's spare pair.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>

namespace roses {

// The engine's outputs span 2^32 values; a uniform draw maps output y to y * 2^-32.
inline constexpr double engine_output_scale = 1.0 / 4294967296.0;
inline constexpr double two_pi = 6.283185307179586;

// Maps one engine output onto [0, 1) exactly as a uniform draw does.
inline double uniform_from_output(std::uint32_t y) {
    return static_cast<double>(y) * engine_output_scale;
}

// Uniform doubles on [lower, upper), one engine output per draw.
class uniform_generator {
  public:
    uniform_generator(std::mt19937& engine, std::mutex& lock, double lower = 0.0,
                      double upper = 1.0);
    double operator()();

  private:
    std::mt19937& engine;
    std::mutex& lock;
    double scale;
    double lower;
    double upper;
};

// Standard normal doubles by the basic Box-Muller transform: one pair of engine outputs
// gives two values, the cosine one first and the sine one on the next call.
class normal_generator {
  public:
    normal_generator(std::mt19937& engine, std::mutex& lock, double mean = 0.0,
                     double deviation = 1.0);
    double operator()();
    // Forgets a pending spare value, so that a reseeded engine replays the same draws.
    void reset();

  private:
    std::mt19937& engine;
    std::mutex& lock;
    double scale;
    double mean;
    double deviation;
    bool spare_ready = false;
    double spare_u = 0.0;
    double spare_radius = 0.0;
};

// The shared sources. The engine is seeded with the calendar time in whole seconds (low 32
// bits) during static initialisation, before main runs.
extern std::mt19937 random_engine;
extern uniform_generator uniform01;
extern normal_generator normal01;

// Restarts the shared sources from a fixed seed (tests, and the renderer's --seed).
void reseed_random(std::uint32_t seed);

// The seed that the sources were last started from.
std::uint32_t random_seed();

// Writes R, G and B of colour (4 bytes R, G, B, A) from hue, saturation and value; every
// channel is truncated toward zero and the A byte is left alone.
void hsv_to_rgb(double h, double s, double v, std::uint8_t* colour);

} // namespace roses
