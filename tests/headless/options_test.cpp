#include "headless/options.h"

#include <vector>

#include <gtest/gtest.h>

namespace roses {
namespace {

std::string parse(const std::vector<const char*>& args, headless_options& options) {
    std::vector<const char*> argv{"roses", "--headless"};
    argv.insert(argv.end(), args.begin(), args.end());
    return parse_headless_options(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(HeadlessOptions, DefaultsAndEveryOption) {
    headless_options defaults;
    EXPECT_EQ(parse({}, defaults), "");
    EXPECT_FALSE(defaults.seed);
    EXPECT_EQ(defaults.width, 800);
    EXPECT_EQ(defaults.height, 600);
    EXPECT_EQ(defaults.frames, 600);

    headless_options options;
    EXPECT_EQ(parse({"--seed", "4294967295", "--size", "1920x1080", "--frames", "0", "--png",
                     "a.png", "--frames-dir", "d", "--every", "5", "--events", "e.jsonl"},
                    options),
              "");
    EXPECT_EQ(options.seed, 4294967295u);
    EXPECT_EQ(options.width, 1920);
    EXPECT_EQ(options.height, 1080);
    EXPECT_EQ(options.frames, 0);
    EXPECT_EQ(options.png, "a.png");
    EXPECT_EQ(options.frames_dir, "d");
    EXPECT_EQ(options.every, 5);
    EXPECT_EQ(options.events, "e.jsonl");
}

TEST(HeadlessOptions, BadValuesAreRefusedWithOneLine) {
    const std::vector<std::vector<const char*>> bad = {
        {"--bogus"},
        {"--size", "0x0"},
        {"--size", "800"},
        {"--size", "800x"},
        {"--size", "-8x6"},
        {"--size", "16385x10"},
        {"--frames", "-1"},
        {"--frames", "1e3"},
        {"--frames", ""},
        {"--seed", "4294967296"},
        {"--seed", "-1"},
        {"--every", "0"},
        {"--png"},
        {"--png", ""},
        {"--frames", "12abc"},
    };
    for (const auto& args : bad) {
        headless_options options;
        const std::string line = parse(args, options);
        EXPECT_FALSE(line.empty()) << args.front();
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace roses
