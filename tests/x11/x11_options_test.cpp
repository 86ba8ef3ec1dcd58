#include "x11/x11_options.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace roses {
namespace {

x11_parse_result parse(std::initializer_list<const char*> words) {
    std::vector<std::string> storage{"roses"};
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (auto& word : storage) {
        argv.push_back(word.data());
    }
    return parse_x11_options(static_cast<int>(argv.size()), argv.data());
}

TEST(x11_options, every_option_takes_one_or_two_dashes_and_values_after_a_space_or_equals) {
    for (auto* root : {"-root", "--root"}) {
        auto result = parse({root});
        EXPECT_EQ(result.error, "");
        EXPECT_EQ(result.options.target, x11_target::root);
    }
    for (auto* saver : {"-saver", "--saver"}) {
        EXPECT_EQ(parse({saver}).options.target, x11_target::saver);
    }
    auto result = parse({"--window-id=0x2a", "-seed", "7", "--size", "640x480", "--scale=1.5"});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.options.scale, 1.5);
    EXPECT_EQ(result.options.target, x11_target::window_id);
    EXPECT_EQ(result.options.window, 42u);
    EXPECT_EQ(result.options.seed, 7u);
    EXPECT_EQ(result.options.width, 640);
    EXPECT_EQ(result.options.height, 480);
    EXPECT_TRUE(parse({"-help"}).options.help);
    EXPECT_TRUE(parse({"--version"}).options.version);
    EXPECT_EQ(parse({"-scale", "1"}).options.scale, 1.0);
    EXPECT_EQ(parse({"--scale", "8"}).options.scale, 8.0);
    EXPECT_FALSE(parse({}).options.scale.has_value());
    EXPECT_EQ(parse({"-max-fps", "1"}).options.max_fps, 1);
    EXPECT_EQ(parse({"--max-fps=1000"}).options.max_fps, 1000);
    EXPECT_FALSE(parse({}).options.max_fps.has_value());
    EXPECT_EQ(parse({"-samples", "0"}).options.samples, 0);
    EXPECT_EQ(parse({"--samples=8"}).options.samples, 8);
    EXPECT_FALSE(parse({}).options.samples.has_value());
    EXPECT_EQ(parse({"-battery-fps", "5"}).options.battery_fps, 5);
    EXPECT_EQ(parse({}).options.battery_fps, 20);
}

TEST(x11_options, without_options_a_window_of_800_by_600_and_the_clock_seed) {
    auto result = parse({});
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(result.options.target, x11_target::own_window);
    EXPECT_EQ(result.options.width, 800);
    EXPECT_EQ(result.options.height, 600);
    EXPECT_FALSE(result.options.seed.has_value());
    // The last of several targets counts, as XScreenSaver appends its own.
    EXPECT_EQ(parse({"-window-id", "5", "-root"}).options.target, x11_target::root);
    EXPECT_EQ(parse({"-root", "-window"}).options.target, x11_target::own_window);
}

TEST(x11_options, window_ids_are_decimal_or_hex_and_nothing_else) {
    EXPECT_EQ(parse_window_id("123"), 123u);
    EXPECT_EQ(parse_window_id("0x7fffffff"), 0x7fffffffu);
    EXPECT_EQ(parse_window_id("0XaBc"), 0xabcu);
    EXPECT_EQ(parse_window_id("4294967295"), 4294967295u);
    for (auto* bad : {"", "banana", "0", "0x0", "0x", "-5", "+5", "12abc", " 12", "12 ",
                      "4294967296", "0x100000000", "0x-1", "1e3"}) {
        EXPECT_FALSE(parse_window_id(bad).has_value()) << '"' << bad << '"';
    }
}

TEST(x11_options, a_bad_command_line_names_the_offending_word) {
    struct bad {
        std::initializer_list<const char*> words;
        const char* mentions;
    };
    for (auto& [words, mentions] : std::initializer_list<bad>{
             {{"-window-id", "banana"}, "\"banana\" is not a window id"},
             {{"-window-id"}, "-window-id needs"},
             {{"--frobnicate"}, "unknown option \"--frobnicate\""},
             {{"-"}, "unexpected argument \"-\""},
             {{"stray"}, "unexpected argument \"stray\""},
             {{"--root=1"}, "unknown option \"--root=1\""},
             {{"--size", "800"}, "--size needs"},
             {{"--size=0x600"}, "--size needs"},
             {{"-size", "40000x600"}, "-size needs"},
             {{"-size", "800x-1"}, "-size needs"},
             {{"-seed", "-1"}, "-seed needs"},
             {{"-seed", "4294967296"}, "-seed needs"},
             {{"--seed"}, "--seed needs"},
             // A scale is a plain decimal from 1 to 8.
             {{"-scale", "0.99"}, "-scale needs"},
             {{"-scale=0"}, "-scale needs"},
             {{"--scale", "-2"}, "--scale needs"},
             {{"-scale", "8.01"}, "-scale needs"},
             {{"-scale", "nan"}, "-scale needs"},
             {{"-scale", "inf"}, "-scale needs"},
             {{"-scale", "2e0"}, "-scale needs"},
             {{"-scale", "0x2"}, "-scale needs"},
             {{"-scale", "two"}, "-scale needs"},
             {{"-scale", ".5"}, "-scale needs"},
             {{"-scale"}, "-scale needs"},
             // Counts that drivers offer, and none.
             {{"-samples", "3"}, "-samples needs 0, 2, 4 or 8, not \"3\""},
             {{"-samples", "16"}, "-samples needs"},
             {{"-samples"}, "-samples needs"},
             {{"-battery-fps", "0"}, "-battery-fps needs a whole number from 1 to 1000"},
             {{"--battery-fps=1001"}, "--battery-fps needs"},
             // Control characters are shown, not obeyed: the error stays one line.
             {{"-window-id", "1\n2\x1b[2J"}, "\"1\\n2\\x1b[2J\" is not"},
             {{"--bo\rgus"}, "unknown option \"--bo\\rgus\""},
         }) {
        auto result = parse(words);
        EXPECT_NE(result.error.find(mentions), std::string::npos)
            << "error \"" << result.error << "\" should mention " << mentions;
    }
}

} // namespace
} // namespace roses
