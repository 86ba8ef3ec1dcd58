// Which driver the current GL context draws with.
#pragma once

#include <string>

namespace roses {

// The current context's GL_RENDERER string ("llvmpipe (LLVM 15.0.6, 256 bits)"); empty
// without a context.
std::string gl_renderer_name();

} // namespace roses
