// The framebuffer calls are OpenGL 3.0's, which the Linux GL library exports like any other;
// whether the driver behind the context has them is asked before any is made.
#define GL_GLEXT_PROTOTYPES 1

#include "gl_context/multisample_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "display/gl_headers.h"
#include "display/gl_renderer.h"

namespace roses {
namespace {

constexpr int framebuffers_since_major = 3;

bool has_framebuffer_objects() {
    // "4.5 (Compatibility Profile) Mesa 22.3.6": core from 3.0 on, an extension before.
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version != nullptr && std::atoi(version) >= framebuffers_since_major) {
        return true;
    }
    return names_extension(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                           "GL_ARB_framebuffer_object");
}

// Every output of the Wayland host asks alike, and their drivers answer alike: one line for
// all of them.
void tell_other(std::int32_t asked, std::int32_t got, const char* why) {
    static bool told = false;
    if (told) {
        return;
    }
    told = true;
    std::fprintf(stderr, "roses: %d samples a pixel rather than the %d asked for: %s\n", got, asked,
                 why);
}

// The resolve copies into the context's own buffer, and drivers copy out of samples only
// between like formats: the one that has that buffer's colour bits.
GLenum format_of_context_buffer() {
    GLint red = 0;
    GLint green = 0;
    GLint blue = 0;
    GLint alpha = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alpha);
    constexpr GLint deep_bits = 10;
    if (red == 5 && green == 6 && blue == 5 && alpha == 0) {
        return GL_RGB565;
    }
    if (red == deep_bits && green == deep_bits && blue == deep_bits) {
        return GL_RGB10_A2;
    }
    return alpha > 0 ? GL_RGBA8 : GL_RGB8;
}

} // namespace

void multisample_buffer::create(std::int32_t samples, std::int32_t width, std::int32_t height) {
    asked = samples;
    // A window made with a multisampled visual (XScreenSaver's, with its multisample resource
    // on) smooths by itself, with the count its visual has: a buffer of ours would have to be
    // resolved into samples, which GL refuses between unlike counts, and nothing would reach
    // the window. Frames go straight to it, smoothed or, with none asked for, not.
    GLint window_sample_buffers = 0;
    glGetIntegerv(GL_SAMPLE_BUFFERS, &window_sample_buffers);
    if (window_sample_buffers > 0) {
        GLint window_samples = 0;
        glGetIntegerv(GL_SAMPLES, &window_samples);
        if (samples <= 0) {
            glDisable(GL_MULTISAMPLE);
        } else if (window_samples != samples) {
            tell_other(asked, window_samples, "the window's own");
        }
        return;
    }
    if (samples <= 0) {
        return;
    }
    if (!has_framebuffer_objects()) {
        tell_other(asked, 0, "the renderer has no framebuffer objects");
        return;
    }
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    most_offered = std::min(samples, static_cast<std::int32_t>(most));
    if (most_offered < 2) {
        tell_other(asked, 0, "the renderer does not multisample");
        return;
    }
    format = format_of_context_buffer();
    glGenFramebuffers(1, &framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    allocate(width, height);
}

void multisample_buffer::resize(std::int32_t width, std::int32_t height) {
    if (framebuffer == 0 || (width == buffer_width && height == buffer_height)) {
        return;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    allocate(width, height);
}

void multisample_buffer::allocate(std::int32_t width, std::int32_t height) {
    buffer_width = width;
    buffer_height = height;
    // The most the driver offers may still be too much memory at this size: then half as
    // many, down to 2.
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    for (std::int32_t count = most_offered; count >= 2; count /= 2) {
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, count, format, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) {
            // A driver may round a count up to one it has.
            GLint made = 0;
            glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &made);
            if (made < asked) {
                tell_other(asked, made, "the most that the renderer offers at this size");
            }
            return;
        }
    }
    // Frames go straight to the context's own buffer from now on.
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colour);
    framebuffer = 0;
    colour = 0;
    tell_other(asked, 0, "the renderer cannot make a multisampled buffer of this size");
}

void multisample_buffer::resolve() const {
    resolve({pixel_box{0, 0, buffer_width, buffer_height}});
}

void multisample_buffer::resolve(const std::vector<pixel_box>& boxes) const {
    if (framebuffer == 0) {
        return;
    }
    // The last scene of several monitors leaves its scissor box on, which would hold the copy
    // to that monitor.
    const bool scissored = glIsEnabled(GL_SCISSOR_TEST) == GL_TRUE;
    if (scissored) {
        glDisable(GL_SCISSOR_TEST);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    for (const pixel_box& box : boxes) {
        glBlitFramebuffer(box.left, box.bottom, box.right, box.top, box.left, box.bottom, box.right,
                          box.top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    if (scissored) {
        glEnable(GL_SCISSOR_TEST);
    }
}

} // namespace roses
