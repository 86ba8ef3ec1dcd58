// What WebGL lacks of the fixed-function GL that the core draws with, supplied beneath it:
// the link routes the core's glDrawArrays, glVertexPointer, glColorPointer, glLineWidth,
// glViewport and glGetFloatv through here (--wrap), and gluLookAt is defined here because the
// emulation's own leaves the matrix as it was. Line strips are drawn as triangles of the
// core's line width, since WebGL clamps real line widths to one pixel.
#include "web/webgl_shim.h"

#include <cmath>
#include <cstdint>
#include <vector>

#include "display/gl_headers.h"

extern "C" {
void __real_glDrawArrays(GLenum mode, GLint first, GLsizei count);
void __real_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void __real_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer);
void __real_glGetFloatv(GLenum name, GLfloat* values);
}

namespace roses {
namespace {

// The client arrays as the caller last set them: the strip is read back from them.
struct client_array {
    GLint size = 0;
    GLenum type = 0;
    GLsizei stride = 0;
    const void* pointer = nullptr;
};

struct shim_state {
    client_array vertices;
    client_array colours;
    float line_width = 1.0f;
    // Kept from the caller's glViewport: asking WebGL for it would wait for the GPU.
    float viewport_width = 1.0f;
    float viewport_height = 1.0f;
    std::vector<float> corners;
    std::vector<std::uint8_t> corner_colours;
};

shim_state state;

using matrix = float[16];

void transform(const matrix& m, const float* v, float* out) {
    for (int row = 0; row < 4; ++row) {
        out[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row];
    }
}

void multiply(const matrix& a, const matrix& b, matrix& out) {
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + row] * b[column * 4 + k];
            }
            out[column * 4 + row] = sum;
        }
    }
}

bool drawable_strip(GLenum mode) {
    const client_array& v = state.vertices;
    const client_array& c = state.colours;
    return mode == GL_LINE_STRIP && v.pointer != nullptr && v.size == 3 && v.type == GL_FLOAT &&
           c.pointer != nullptr && c.size == 4 && c.type == GL_UNSIGNED_BYTE;
}

void push_corner(const float* clip, float dx, float dy, const std::uint8_t* colour) {
    // Offsets are in normalised device units: times w they stay the same on screen.
    state.corners.insert(state.corners.end(),
                         {clip[0] + dx * clip[3], clip[1] + dy * clip[3], clip[2], clip[3]});
    state.corner_colours.insert(state.corner_colours.end(), colour, colour + 4);
}

// One quad per segment, as wide as the line on screen. Joins overlap by less than the width,
// which at a few pixels is not seen.
void draw_wide_strip(GLint first, GLsizei count) {
    matrix model_view;
    matrix projection;
    glGetFloatv(GL_MODELVIEW_MATRIX, model_view);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    matrix both;
    multiply(projection, model_view, both);
    const float half = 0.5f * state.line_width;
    const float to_ndc_x = 2.0f / state.viewport_width;
    const float to_ndc_y = 2.0f / state.viewport_height;

    const auto* vertex_bytes = static_cast<const std::uint8_t*>(state.vertices.pointer);
    const auto* colour_bytes = static_cast<const std::uint8_t*>(state.colours.pointer);
    const std::size_t vertex_step =
        state.vertices.stride != 0 ? state.vertices.stride : 3 * sizeof(float);
    const std::size_t colour_step = state.colours.stride != 0 ? state.colours.stride : 4;
    state.corners.clear();
    state.corner_colours.clear();
    float previous[4] = {};
    for (GLsizei i = first; i < first + count; ++i) {
        float position[3];
        const std::uint8_t* from = vertex_bytes + static_cast<std::size_t>(i) * vertex_step;
        std::copy(from, from + sizeof position, reinterpret_cast<std::uint8_t*>(position));
        float clip[4];
        transform(both, position, clip);
        if (i > first && previous[3] > 0.0f && clip[3] > 0.0f) {
            const float dx = (clip[0] / clip[3] - previous[0] / previous[3]) / to_ndc_x;
            const float dy = (clip[1] / clip[3] - previous[1] / previous[3]) / to_ndc_y;
            const float length = std::sqrt(dx * dx + dy * dy);
            if (length > 0.0f) {
                const float nx = -dy / length * half * to_ndc_x;
                const float ny = dx / length * half * to_ndc_y;
                const std::uint8_t* a =
                    colour_bytes + static_cast<std::size_t>(i - 1) * colour_step;
                const std::uint8_t* b = colour_bytes + static_cast<std::size_t>(i) * colour_step;
                push_corner(previous, nx, ny, a);
                push_corner(previous, -nx, -ny, a);
                push_corner(clip, nx, ny, b);
                push_corner(clip, nx, ny, b);
                push_corner(previous, -nx, -ny, a);
                push_corner(clip, -nx, -ny, b);
            }
        }
        std::copy(clip, clip + 4, previous);
    }
    if (state.corners.empty()) {
        return;
    }
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    __real_glVertexPointer(4, GL_FLOAT, 0, state.corners.data());
    __real_glColorPointer(4, GL_UNSIGNED_BYTE, 0, state.corner_colours.data());
    __real_glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(state.corners.size() / 4));
    // The caller's arrays and matrices as they were; the core draws in model-view mode.
    __real_glVertexPointer(state.vertices.size, state.vertices.type, state.vertices.stride,
                           state.vertices.pointer);
    __real_glColorPointer(state.colours.size, state.colours.type, state.colours.stride,
                          state.colours.pointer);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// Strips are triangles here, which WebGL draws at any width, while its own lines stop at one
// pixel: the core is told of a range that every display's scale fits in.
constexpr GLfloat widest_strip = 64.0f;
// Whether draws reach WebGL (set_drawing).
bool drawing = true;

} // namespace
} // namespace roses

extern "C" {

void __wrap_glVertexPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    roses::state.vertices = {size, type, stride, pointer};
    __real_glVertexPointer(size, type, stride, pointer);
}

void __wrap_glColorPointer(GLint size, GLenum type, GLsizei stride, const void* pointer) {
    roses::state.colours = {size, type, stride, pointer};
    __real_glColorPointer(size, type, stride, pointer);
}

void __real_glViewport(GLint x, GLint y, GLsizei width, GLsizei height);

void __wrap_glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    roses::state.viewport_width = static_cast<float>(width > 0 ? width : 1);
    roses::state.viewport_height = static_cast<float>(height > 0 ? height : 1);
    __real_glViewport(x, y, width, height);
}

void __wrap_glGetFloatv(GLenum name, GLfloat* values) {
    if (name == GL_ALIASED_LINE_WIDTH_RANGE) {
        values[0] = 1.0f;
        values[1] = roses::widest_strip;
        return;
    }
    __real_glGetFloatv(name, values);
}

void __wrap_glLineWidth(GLfloat width) {
    roses::state.line_width = width;
}

void __wrap_glDrawArrays(GLenum mode, GLint first, GLsizei count) {
    if (!roses::drawing) {
        return;
    }
    if (roses::drawable_strip(mode)) {
        roses::draw_wide_strip(first, count);
    } else {
        __real_glDrawArrays(mode, first, count);
    }
}

// The view matrix as GLU defines it: the eye at the origin looking down -z, up along +y.
void gluLookAt(GLdouble eye_x, GLdouble eye_y, GLdouble eye_z, GLdouble centre_x, GLdouble centre_y,
               GLdouble centre_z, GLdouble up_x, GLdouble up_y, GLdouble up_z) {
    double f[3] = {centre_x - eye_x, centre_y - eye_y, centre_z - eye_z};
    const double f_length = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
    for (double& value : f) {
        value /= f_length;
    }
    double s[3] = {f[1] * up_z - f[2] * up_y, f[2] * up_x - f[0] * up_z, f[0] * up_y - f[1] * up_x};
    const double s_length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (double& value : s) {
        value /= s_length;
    }
    const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                         s[0] * f[1] - s[1] * f[0]};
    const GLdouble m[16] = {s[0], u[0], -f[0], 0.0, s[1], u[1], -f[1], 0.0,
                            s[2], u[2], -f[2], 0.0, 0.0,  0.0,  0.0,   1.0};
    glMultMatrixd(m);
    glTranslated(-eye_x, -eye_y, -eye_z);
}

} // extern "C"

namespace roses {

void set_drawing(bool on) {
    drawing = on;
}

} // namespace roses
