// What the page's host asks of the shim beneath the core (webgl_shim.cpp), which supplies what
// WebGL lacks of fixed-function GL.
#pragma once

namespace roses {

// Whether draws reach WebGL. While the context is lost the core goes on stepping, and with
// it every draw of its frames, which then have nowhere to go.
void set_drawing(bool drawing);

} // namespace roses
