// Start-up and the run modes: the command-line switch chooses between the full-screen saver,
// the preview inside a window of the settings page, the settings dialog and the legacy
// platform's password change.
#pragma once

#include <cstdint>

#include <windows.h>

#include "win32/run_mode.h"

namespace roses {

// Window class and titles by which the platform (and a second start) recognises the saver.
inline constexpr const char* saver_class_name = "WindowsScreenSaverClass";
inline constexpr const char* full_screen_title = "Screen Saver";
inline constexpr const char* preview_title = "Preview";

// The command text after the program's own name and the separators that follow it.
const char* skip_program_name(const char* command_line);

// Prepares the process, reads the switch (choose_run_mode) and runs its mode; the result is
// the exit code.
std::int32_t saver_entry(HINSTANCE instance, const char* command);

// The screen rectangle the full-screen window covers: the virtual screen of every monitor.
RECT full_screen_rect();

// The window handle that a number on the command line names.
HWND window_from_number(std::uint32_t number);

// Creates the saver window (a child of parent, or full screen when parent is null) and runs
// the message loop until it is destroyed.
std::int32_t run_saver(HWND parent);

std::int32_t show_settings(HWND parent);
void change_password(HWND parent);
void load_password_check();
void unload_password_check();
void set_saver_running(bool running);

} // namespace roses
