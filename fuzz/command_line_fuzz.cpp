// The Linux command lines, whatever a script or a daemon passes: the input's NUL-separated
// words follow "roses" (the X11 host) and "roses --headless" (the renderer). Parsing must
// read nothing outside the words, a refusal must be one line, and an accepted command line
// must hold only values the hosts can use.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "headless/options.h"
#include "x11/x11_options.h"

namespace {

// Enough words for every option with its value, twice over.
constexpr std::size_t max_words = 24;

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool one_line(const std::string& text) {
    return !text.empty() && text.find_first_of("\n\r") == std::string::npos;
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
    const roses::x11_parse_result x11 =
        roses::parse_x11_options(static_cast<int>(x11_argv.size() - 1), x11_argv.data());
    if (!x11.error.empty()) {
        check(one_line(x11.error));
    } else {
        const roses::x11_options& o = x11.options;
        check(o.width >= 1 && o.width <= 32767 && o.height >= 1 && o.height <= 32767);
        check(o.target != roses::x11_target::window_id || o.window != 0);
    }

    std::vector<char*> headless_argv = argv_of("roses", "--headless", words);
    roses::headless_options options;
    const std::string error = roses::parse_headless_options(
        static_cast<int>(headless_argv.size() - 1), headless_argv.data(), options);
    if (!error.empty()) {
        check(one_line(error));
    } else {
        check(options.width >= 1 && options.width <= roses::max_headless_side);
        check(options.height >= 1 && options.height <= roses::max_headless_side);
        check(options.frames >= 0 && options.every >= 1);
    }
    return 0;
}
