#pragma once

namespace roses {

// Renders frames with no display (EGL pbuffer) and writes PNG pictures; returns the process
// exit code.
int headless_main(int argc, char** argv);

} // namespace roses
