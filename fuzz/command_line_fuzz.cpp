// The Linux command lines, whatever a script or a daemon passes: the input's NUL-separated
// words follow "roses" (the X11 host), "roses --headless" (the renderer) and "roses -wayland"
// (the Wayland host). Parsing must read nothing outside the words, a refusal must be one
// line that no control character reaches, and an accepted command line must hold only
// values the hosts can use.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "headless/options.h"
#include "x11/x11_options.h"
#ifdef ROSES_HAVE_WAYLAND
#include "wayland/wayland_options.h"
#endif

namespace {

// Enough words for every option with its value, twice over.
constexpr std::size_t max_words = 24;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

// One line, and one that cannot steer a terminal: printable() shows control characters.
bool one_line(const std::string& text) {
    return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

template <typename Parse> auto parse(Parse parse_options, std::vector<char*>& argv) {
    return parse_options(static_cast<int>(argv.size() - 1), argv.data());
}

// Each word in a heap block of its own, so that a read past its terminator is caught.
std::vector<std::vector<char>> split_words(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<char>> words(1);
    for (std::size_t k = 0; k < size && words.size() <= max_words; ++k) {
        if (data[k] == '\0') {
            words.emplace_back();
        } else {
            words.back().push_back(static_cast<char>(data[k]));
        }
    }
    for (std::vector<char>& word : words) {
        word.push_back('\0');
    }
    return words;
}

std::vector<char*> argv_of(const char* program, const char* first,
                           std::vector<std::vector<char>>& words) {
    std::vector<char*> argv{const_cast<char*>(program)};
    if (first != nullptr) {
        argv.push_back(const_cast<char*>(first));
    }
    for (std::vector<char>& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    return argv;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::vector<char>> words = split_words(data, size);

    std::vector<char*> x11_argv = argv_of("roses", nullptr, words);
    const auto x11 = parse(roses::parse_x11_options, x11_argv);
    if (!x11.error.empty()) {
        check(one_line(x11.error));
    } else {
        const roses::x11_options& o = x11.options;
        check(o.width >= 1 && o.width <= 32767 && o.height >= 1 && o.height <= 32767);
        check(o.target != roses::x11_target::window_id || o.window != 0);
    }

    std::vector<char*> headless_argv = argv_of("roses", "--headless", words);
    const auto headless = parse(roses::parse_headless_options, headless_argv);
    if (!headless.error.empty()) {
        check(one_line(headless.error));
    } else {
        const roses::headless_options& options = headless.options;
        check(options.width >= 1 && options.width <= roses::max_headless_side);
        check(options.height >= 1 && options.height <= roses::max_headless_side);
        check(options.frames >= 0 && options.every >= 1);
    }

#ifdef ROSES_HAVE_WAYLAND
    std::vector<char*> wayland_argv = argv_of("roses", "-wayland", words);
    const auto wayland = parse(roses::parse_wayland_options, wayland_argv);
    check(wayland.error.empty() || one_line(wayland.error));
#endif
    return 0;
}
