#pragma once

namespace roses {

// Runs the saver (-wayland) or the animated background (-wayland-background) on every
// output of a layer-shell compositor; returns the process exit code.
int wayland_main(int argc, char** argv);

} // namespace roses
