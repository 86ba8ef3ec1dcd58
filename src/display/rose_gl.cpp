#include "display/rose_gl.h"

#include "display/gl_headers.h"

namespace roses {

void draw_rose(rose& drawn, float line_width) {
    draw_rose(drawn, line_width, drawn.age);
}

void draw_rose(rose& drawn, float line_width, std::int32_t shown_age) {
    const strip_range range = drawn.shown_strip(shown_age);
    if (range.count < 2) {
        return;
    }
    glLineWidth(line_width);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(rgba),
                   drawn.colours[static_cast<std::size_t>(range.offset)].data());
    glVertexPointer(3, GL_FLOAT, sizeof(vertex),
                    &drawn.vertices[static_cast<std::size_t>(range.first)]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDrawArrays(GL_LINE_STRIP, 0, range.count);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

} // namespace roses
