// The saver's own side of the window: what the host calls to draw and to show settings.
#pragma once

#include <windows.h>

namespace roses {

// Sets up the GL context and the scene on creation, draws and presents a frame on every timer
// message, releases the timer and the context on destruction; everything else goes to
// default_saver_proc.
LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The saver has no settings: this answers FALSE to everything and never ends the dialog.
INT_PTR CALLBACK config_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Registers nothing; TRUE lets the settings mode go on to its dialog.
BOOL register_settings_classes(HINSTANCE instance);

} // namespace roses
