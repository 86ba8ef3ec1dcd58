#include "display/gl_renderer.h"

#include "display/gl_headers.h"

namespace roses {

std::string gl_renderer_name() {
    const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return name != nullptr ? name : "";
}

} // namespace roses
