"""What the end-to-end tests and the long-run tools share: processes that are always ended,
private X servers, the one Xlib binding, screenshots, collected checks, a headless Wayland
compositor, stand-in power services and wine prefixes.

It lives beside the tools, so `tools/soak` and `tools/simulated_day` import it as they are;
ctest puts this folder on PYTHONPATH for every Python test (roses_python_test in
tests/CMakeLists.txt). Nothing edits sys.path, and importing a module changes nothing.

  processes  spawn, stop, wait_until, Program, the slow-down of sanitized builds, and
             unwind_on_sigterm, which a script that starts processes calls first
  checks     Checks (every failure of a run reported at once) and the skipped exit code
  seeds      the seeds that end-to-end runs start from
  xserver    Xvfb or Xorg on a display number the server picks itself; Xorg with two
             monitors (two_monitors.conf)
  xlib       our own X client through libX11 (ctypes): windows, images, DAMAGE, XTEST
  image      screenshots as RGB pictures and what is lit in them
  x11        xdotool, windows by title, roses drawn, the XScreenSaver daemon
  wayland    a headless sway with outputs of given sizes
  power      stand-ins for the battery and power-profile services on a private system bus
  wine       private wine prefixes and the settings every wine run here wants
"""
