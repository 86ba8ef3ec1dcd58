#include "display/gl_renderer.h"

#include "display/gl_headers.h"

namespace roses {

std::string gl_renderer_name() {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name != nullptr ? name : "";
}

bool names_extension(const char* extensions, const char* name) {
    const std::string list = std::string(" ") + (extensions != nullptr ? extensions : "") + " ";
    return list.find(std::string(" ") + name + " ") != std::string::npos;
}

} // namespace roses
