// What WebGL lacks of the fixed-function GL that the core draws with, supplied beneath it:
// the link routes the core's glDrawArrays, glVertexPointer, glColorPointer, glLineWidth and
// glViewport through here (--wrap), and gluLookAt is defined here because the emulation's own
// leaves the matrix as it was.
#pragma once

namespace roses {

// Device pixels per line-width unit: the page's pixel ratio (at least 1), or 1 in check
// mode. Line strips are drawn as triangles of the core's line width times this, since
// WebGL clamps real line widths to one pixel.
void set_line_scale(float scale);

} // namespace roses

namespace roses {

// Whether draws reach WebGL. While the context is lost the core goes on stepping, and with
// it every draw of its frames, which then have nowhere to go.
void set_drawing(bool drawing);

} // namespace roses
