#include "linux/renderer.h"

#include <cstring>

#include "display/gl_headers.h"

namespace roses {

bool software_renderer() {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    if (name == nullptr) {
        return false;
    }
    return std::strstr(name, "llvmpipe") != nullptr || std::strstr(name, "softpipe") != nullptr ||
           std::strstr(name, "SwiftShader") != nullptr;
}

} // namespace roses
