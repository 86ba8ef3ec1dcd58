#include "random/random.h"

#include <cmath>
#include <ctime>

namespace roses {
namespace {

// One lock for every draw: it covers the engine and the normal generator's spare pair,
// which the window thread's camera and the worker thread both touch.
std::mutex draw_lock;

std::uint32_t clock_seed() {
    return static_cast<std::uint32_t>(std::time(nullptr));
}

std::uint32_t current_seed = clock_seed();

} // namespace

// Declared in this order so that static initialisation seeds the engine first.
std::mt19937 random_engine{current_seed};
uniform_generator uniform01{random_engine, draw_lock, 0.0, 1.0};
normal_generator normal01{random_engine, draw_lock, 0.0, 1.0};

uniform_generator::uniform_generator(std::mt19937& engine, std::mutex& lock, double lower,
                                     double upper)
    : engine(engine), lock(lock), scale(1.0 / (static_cast<double>(std::mt19937::max()) + 1.0)),
      lower(lower), upper(upper) {}

double uniform_generator::operator()() {
    std::uint32_t y;
    {
        std::lock_guard<std::mutex> guard(lock);
        y = static_cast<std::uint32_t>(engine());
    }
    return lower + (upper - lower) * (static_cast<double>(y) * scale);
}

normal_generator::normal_generator(std::mt19937& engine, std::mutex& lock, double mean,
                                   double deviation)
    : engine(engine), lock(lock), scale(1.0 / (static_cast<double>(std::mt19937::max()) + 1.0)),
      mean(mean), deviation(deviation) {}

double normal_generator::operator()() {
    std::lock_guard<std::mutex> guard(lock);
    if (spare_ready) {
        spare_ready = false;
        return std::sin(two_pi * spare_u) * spare_radius * deviation + mean;
    }
    const double u1 = static_cast<double>(static_cast<std::uint32_t>(engine())) * scale;
    const double u2 = static_cast<double>(static_cast<std::uint32_t>(engine())) * scale;
    // 1 - u2 lies in [2^-32, 1], so the logarithm stays finite.
    const double r = std::sqrt(-2.0 * std::log(1.0 - u2));
    spare_u = u1;
    spare_radius = r;
    spare_ready = true;
    return std::cos(two_pi * u1) * r * deviation + mean;
}

void normal_generator::reset() {
    std::lock_guard<std::mutex> guard(lock);
    spare_ready = false;
}

void reseed_random(std::uint32_t seed) {
    {
        std::lock_guard<std::mutex> guard(draw_lock);
        current_seed = seed;
        random_engine.seed(seed);
    }
    normal01.reset();
}

std::uint32_t random_seed() {
    std::lock_guard<std::mutex> guard(draw_lock);
    return current_seed;
}

void hsv_to_rgb(double h, double s, double v, std::uint8_t* colour) {
    if (h == 1.0) {
        h = 0.0;
    }
    const double value = v * 255.0;
    const auto grey = static_cast<std::uint8_t>(static_cast<int>(value));
    colour[0] = colour[1] = colour[2] = grey;
    if (s == 0.0) {
        return;
    }
    const double sector = h * 360.0 / 60.0;
    const int i = static_cast<int>(sector);
    const double f = sector - i;
    const auto p = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s)));
    const auto q = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s * f)));
    const auto t = static_cast<std::uint8_t>(static_cast<int>(value * (1.0 - s * (1.0 - f))));
    std::uint8_t& r = colour[0];
    std::uint8_t& g = colour[1];
    std::uint8_t& b = colour[2];
    switch (i) {
    case 0:
        g = t;
        b = p;
        break;
    case 1:
        r = q;
        b = p;
        break;
    case 2:
        r = p;
        b = t;
        break;
    case 3:
        r = p;
        g = q;
        break;
    case 4:
        r = t;
        g = p;
        break;
    case 5:
        g = p;
        b = q;
        break;
    default:
        // A hue above 1 or at most -1/6 keeps the grey.
        break;
    }
}

} // namespace roses
