// The host's two window procedures, which make the saver window behave as a screen saver:
// the cursor stays hidden, system commands cannot switch away, and input, loss of
// activation or a power event closes the full-screen window (asking for the password first
// on the legacy platform). A preview window is left alone until its parent destroys it.
#pragma once

#include <windows.h>

namespace roses {

// The password verification request that verify_before_close sends to the saver window.
inline constexpr UINT verify_request_message = WM_APP;

// The class's window procedure: settles cursor, input context, title and system commands and
// forwards everything else to saver_window_proc.
LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Where saver_window_proc sends every message it does not handle: the dismissal rules, ending
// in DefWindowProcA.
LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Asks for the password where one is in use; non-zero when the saver may close.
LONG verify_before_close(HWND window);

} // namespace roses
