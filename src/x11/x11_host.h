#pragma once

namespace roses {

// Runs the saver on an X display; returns the process exit code.
int x11_main(int argc, char** argv);

} // namespace roses
