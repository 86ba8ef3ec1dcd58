#include "gl_context/egl_setup.h"

#include <cstdio>
#include <vector>

namespace roses {
namespace {

constexpr EGLint channel_bits = 8;

EGLint attribute(EGLDisplay display, EGLConfig config, EGLint name) {
    EGLint value = -1;
    eglGetConfigAttrib(display, config, name, &value);
    return value;
}

} // namespace

#if defined(__SANITIZE_THREAD__)
// Mesa's software rasteriser is not built with ThreadSanitizer: its worker threads hand
// fences back through atomics the sanitizer cannot see, so freeing a signalled fence looks
// like a race. Only reports with a frame inside the driver are silenced; the sanitizer
// reads this hook from the program when it starts. It lives here because every program
// that draws with EGL links this file.
extern "C" const char* __tsan_default_suppressions() {
    return "race:swrast_dri.so\nrace:libgallium\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// The leak check at exit sometimes died inside its own thread ("Tracer caught signal 11")
// after every test had passed. The runtime of this compiler watches __tls_get_addr and takes
// a dynamic TLS block whose address happens to fall at one offset in a page for a layout
// that glibc dropped years ago, then reads a size from before it. The GL driver is loaded
// with dlopen and keeps thread-local state in such blocks, so it is not watched; they are
// still reached from each thread's own TLS, where the check looks for pointers anyway.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
#endif

std::string egl_failure(const char* what) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04x", static_cast<unsigned>(eglGetError()));
    return std::string(what) + " failed (EGL error " + code + ")";
}

std::string open_egl_display(EGLenum platform, void* native_display, EGLint surface_type,
                             EGLint alpha_bits, egl_display_choice& chosen) {
    EGLDisplay display = eglGetPlatformDisplay(platform, native_display, nullptr);
    if (display == EGL_NO_DISPLAY) {
        return "no EGL display for this platform (is Mesa's EGL installed?)";
    }
    if (eglInitialize(display, nullptr, nullptr) != EGL_TRUE) {
        return egl_failure("eglInitialize");
    }
    const EGLint wanted[] = {EGL_SURFACE_TYPE, surface_type, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                             EGL_RED_SIZE,     channel_bits, EGL_GREEN_SIZE,      channel_bits,
                             EGL_BLUE_SIZE,    channel_bits, EGL_ALPHA_SIZE,      alpha_bits,
                             EGL_NONE};
    EGLint count = 0;
    if (eglChooseConfig(display, wanted, nullptr, 0, &count) != EGL_TRUE || count < 1) {
        return "no EGL configuration with 8-bit colour for desktop OpenGL";
    }
    std::vector<EGLConfig> configs(static_cast<std::size_t>(count));
    eglChooseConfig(display, wanted, configs.data(), count, &count);
    configs.resize(static_cast<std::size_t>(count));
    for (EGLConfig config : configs) {
        if (attribute(display, config, EGL_RED_SIZE) == channel_bits &&
            attribute(display, config, EGL_GREEN_SIZE) == channel_bits &&
            attribute(display, config, EGL_BLUE_SIZE) == channel_bits &&
            attribute(display, config, EGL_ALPHA_SIZE) == alpha_bits) {
            if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
                return egl_failure("eglBindAPI(EGL_OPENGL_API)");
            }
            chosen.display = display;
            chosen.config = config;
            return {};
        }
    }
    return "no EGL configuration with exactly 8 bits per colour for desktop OpenGL";
}

std::string create_egl_context(const egl_display_choice& chosen, EGLContext& context) {
    context = eglCreateContext(chosen.display, chosen.config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        return egl_failure("eglCreateContext");
    }
    return {};
}

} // namespace roses
