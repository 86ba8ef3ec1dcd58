#!/bin/sh
# Runs a test that needs windows, or skips it (exit code 77, which ctest counts as skipped)
# when there is no X display for wine to put them on.
if [ -z "${DISPLAY:-}" ]; then
    echo "skipped: no DISPLAY; the Windows host tests need an X server (tools/test starts Xvfb)"
    exit 77
fi
exec "$@"
