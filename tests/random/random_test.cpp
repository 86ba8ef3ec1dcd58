#include "random/random.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace roses {
namespace {

TEST(RandomEngine, IsTheStandardMersenneTwister) {
    std::mt19937 engine; // default seed 5489
    std::uint32_t value = 0;
    for (int i = 0; i < 10000; ++i) {
        value = static_cast<std::uint32_t>(engine());
    }
    EXPECT_EQ(value, 4123659995u);
}

TEST(Uniform, MapsEngineOutputsOntoTheHalfOpenUnitInterval) {
    EXPECT_EQ(uniform_from_output(0u), 0.0);
    EXPECT_EQ(uniform_from_output(0x80000000u), 0.5);
    EXPECT_EQ(uniform_from_output(0xffffffffu), 0.99999999976716935634613037109375);
    EXPECT_LT(uniform_from_output(0xffffffffu), 1.0);
}

TEST(Uniform, ConsumesOneEngineOutputPerDraw) {
    std::mt19937 engine(42);
    std::mt19937 copy(42);
    std::mutex lock;
    uniform_generator uniform(engine, lock);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(uniform(), uniform_from_output(static_cast<std::uint32_t>(copy())));
    }
}

TEST(Normal, ReturnsCosineThenSineOfOnePairAndThenDrawsAgain) {
    std::mt19937 engine(7);
    std::mt19937 copy(7);
    std::mutex lock;
    normal_generator normal(engine, lock);

    const double u1 = uniform_from_output(static_cast<std::uint32_t>(copy()));
    const double u2 = uniform_from_output(static_cast<std::uint32_t>(copy()));
    const double r = std::sqrt(-2.0 * std::log(1.0 - u2));
    EXPECT_EQ(normal(), std::cos(two_pi * u1) * r);
    std::mt19937 after_first = engine;
    EXPECT_EQ(normal(), std::sin(two_pi * u1) * r);
    EXPECT_EQ(engine, after_first) << "the spare must not consume engine outputs";

    const double v1 = uniform_from_output(static_cast<std::uint32_t>(copy()));
    const double v2 = uniform_from_output(static_cast<std::uint32_t>(copy()));
    EXPECT_EQ(normal(), std::cos(two_pi * v1) * std::sqrt(-2.0 * std::log(1.0 - v2)));
    EXPECT_EQ(engine, copy);
}

TEST(Normal, StaysWithinTheLargestRadius) {
    std::mt19937 engine(123);
    std::mutex lock;
    normal_generator normal(engine, lock);
    const double largest = std::sqrt(-2.0 * std::log(engine_output_scale)); // 6.6604...
    double sum = 0.0;
    double squares = 0.0;
    const int draws = 200000;
    for (int i = 0; i < draws; ++i) {
        const double value = normal();
        ASSERT_LE(std::abs(value), largest);
        sum += value;
        squares += value * value;
    }
    EXPECT_NEAR(sum / draws, 0.0, 0.01);
    EXPECT_NEAR(squares / draws, 1.0, 0.02);
}

TEST(SharedSources, ReseedingReplaysTheSameDrawsIncludingTheSpare) {
    reseed_random(99);
    EXPECT_EQ(random_seed(), 99u);
    const double a = uniform01();
    const double b = normal01(); // leaves a spare pending
    reseed_random(99);
    EXPECT_EQ(uniform01(), a);
    EXPECT_EQ(normal01(), b) << "a pending spare must not survive a reseed";
}

TEST(SharedSources, DrawsFromTwoThreadsStayConsistent) {
    // Each thread's draws must be whole engine outputs: with the lock, the two threads
    // together consume exactly the engine's sequence, each output once.
    reseed_random(5);
    std::mt19937 reference(5);
    std::vector<double> expected;
    for (int i = 0; i < 40000; ++i) {
        expected.push_back(uniform_from_output(static_cast<std::uint32_t>(reference())));
    }
    std::vector<double> first;
    std::vector<double> second;
    std::thread worker([&] {
        for (int i = 0; i < 20000; ++i) {
            first.push_back(uniform01());
        }
    });
    for (int i = 0; i < 20000; ++i) {
        second.push_back(uniform01());
    }
    worker.join();
    std::vector<double> all = first;
    all.insert(all.end(), second.begin(), second.end());
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(all, expected);
}

std::array<int, 4> colour_of(double h, double s, double v) {
    std::uint8_t colour[4] = {1, 2, 3, 77};
    hsv_to_rgb(h, s, v, colour);
    return {colour[0], colour[1], colour[2], colour[3]};
}

TEST(HsvToRgb, TruncatesEveryChannelAndKeepsAlpha) {
    using c = std::array<int, 4>;
    EXPECT_EQ(colour_of(0.0, 1.0, 1.0), (c{255, 0, 0, 77}));
    EXPECT_EQ(colour_of(1.0, 1.0, 1.0), (c{255, 0, 0, 77}));
    EXPECT_EQ(colour_of(0.5, 0.5, 1.0), (c{127, 255, 255, 77}));
    EXPECT_EQ(colour_of(0.25, 0.6, 0.75), (c{133, 191, 76, 77}));
    EXPECT_EQ(colour_of(0.3, 0.0, 0.8), (c{204, 204, 204, 77}));
    EXPECT_EQ(colour_of(0.9, 0.0, 0.8), (c{204, 204, 204, 77}));
}

TEST(HsvToRgb, HuesOutsideTheSixSectorsGiveTheGrey) {
    using c = std::array<int, 4>;
    EXPECT_EQ(colour_of(1.2, 1.0, 1.0), (c{255, 255, 255, 77}));
    EXPECT_EQ(colour_of(-0.2, 1.0, 1.0), (c{255, 255, 255, 77}));
    // Just above -1/6 the truncation toward zero still lands in sector 0.
    EXPECT_EQ(colour_of(-0.1, 1.0, 1.0)[0], 255);
}

TEST(HsvToRgb, CoversEverySector) {
    using c = std::array<int, 4>;
    EXPECT_EQ(colour_of(1.0 / 6 + 1e-9, 1.0, 1.0), (c{254, 255, 0, 77}));
    EXPECT_EQ(colour_of(2.0 / 6 + 1e-9, 1.0, 1.0), (c{0, 255, 0, 77}));
    EXPECT_EQ(colour_of(3.0 / 6 + 1e-9, 1.0, 1.0), (c{0, 254, 255, 77}));
    EXPECT_EQ(colour_of(4.0 / 6 + 1e-9, 1.0, 1.0), (c{0, 0, 255, 77}));
    EXPECT_EQ(colour_of(5.0 / 6 + 1e-9, 1.0, 1.0), (c{255, 0, 254, 77}));
}

} // namespace
} // namespace roses
