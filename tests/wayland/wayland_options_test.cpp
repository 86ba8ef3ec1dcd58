#include "wayland/wayland_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace roses {
namespace {

wayland_parse_result parse(std::initializer_list<const char*> words) {
    std::vector<const char*> argv{"roses"};
    argv.insert(argv.end(), words.begin(), words.end());
    return parse_wayland_options(static_cast<int>(argv.size()), argv.data());
}

TEST(wayland_options, a_refused_word_is_quoted_and_shown_not_obeyed) {
    // An escape sequence written raw would recolour the user's terminal.
    EXPECT_EQ(parse({"-wayland", "--bad\x1b[31mRED"}).error,
              "unknown option \"--bad\\x1b[31mRED\" (try -wayland -help)");
    EXPECT_EQ(parse({"-wayland", "-seed", "1\n2"}).error,
              "-seed needs a whole number from 0 to 4294967295, not \"1\\n2\"");
    const auto accepted = parse({"--wayland-background", "-seed=7"});
    EXPECT_EQ(accepted.error, "");
    EXPECT_EQ(accepted.options.layer, wayland_layer::background);
    EXPECT_EQ(accepted.options.seed, 7u);
    EXPECT_EQ(parse({"-wayland", "-max-fps", "0"}).error,
              "-max-fps needs a whole number from 1 to 1000, not \"0\"");
    EXPECT_EQ(parse({"-wayland", "-max-fps=144"}).options.max_fps, 144);
    EXPECT_EQ(parse({"-wayland", "-samples", "3"}).error, "-samples needs 0, 2, 4 or 8, not \"3\"");
    EXPECT_EQ(parse({"-wayland", "--samples=0"}).options.samples, 0);
    EXPECT_EQ(parse({"-wayland", "-battery-fps", "10"}).options.battery_fps, 10);
    EXPECT_EQ(parse({"-wayland", "-battery-fps", "x"}).error,
              "-battery-fps needs a whole number from 1 to 1000, not \"x\"");
}

TEST(wayland_options, a_scale_is_refused_because_the_compositor_gives_it) {
    const auto refused = parse({"-wayland", "--scale=2"});
    EXPECT_NE(refused.error.find("\"--scale\" is not for the Wayland host"), std::string::npos)
        << refused.error;
}

} // namespace
} // namespace roses
