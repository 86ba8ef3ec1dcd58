// Which driver the current GL context draws with, and what it offers.
#pragma once

#include <string>

namespace roses {

// The current context's GL_RENDERER string ("llvmpipe (LLVM 15.0.6, 256 bits)"); empty
// without a context.
std::string gl_renderer_name();

// True when the space-separated list of extensions (GL's, GLX's or EGL's; null counts as
// empty) names this one whole: "GL_ARB_multisample" is not "GL_ARB_multisample_extra".
bool names_extension(const char* extensions, const char* name);

} // namespace roses
