#include "scene/software_renderer.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace roses {

bool software_renderer(std::string_view renderer) {
    std::string name(renderer);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    // Windows' WARP is "Microsoft Basic Render Driver", also inside WSLg's "D3D12 (...)" and
    // ANGLE's names; macOS's is "Apple Software Renderer".
    for (const char* rasteriser : {"llvmpipe", "softpipe", "swiftshader",
                                   "microsoft basic render driver", "apple software renderer"}) {
        if (name.find(rasteriser) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::int32_t choose_samples(std::optional<std::int32_t> asked, std::string_view renderer) {
    if (asked) {
        return *asked;
    }
    return software_renderer(renderer) ? 0 : hardware_samples;
}

} // namespace roses
