// The EGL steps that every GL surface of ours shares, whatever the platform: the display,
// an exact 8-bit colour configuration, the desktop OpenGL API and a context on it.
#pragma once

#include <EGL/egl.h>

#include <string>

namespace roses {

struct egl_display_choice {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
};

// Initialises the display of the platform for native_display and picks the first
// configuration with exactly 8 bits of red, green and blue and exactly alpha_bits of alpha
// that can make surface_type surfaces for desktop OpenGL (drivers list deeper colour first,
// and a window with alpha would let the desktop show through). Binds the desktop OpenGL API
// on the calling thread. On failure returns one line saying why.
[[nodiscard]] std::string open_egl_display(EGLenum platform, void* native_display,
                                           EGLint surface_type, EGLint alpha_bits,
                                           egl_display_choice& chosen);

// A desktop OpenGL (compatibility profile) context for the chosen configuration.
[[nodiscard]] std::string create_egl_context(const egl_display_choice& chosen, EGLContext& context);

// "what failed (EGL error 0x3001)", with the thread's last EGL error.
std::string egl_failure(const char* what);

} // namespace roses
