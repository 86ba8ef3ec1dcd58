// The host's one record of handles, run-mode flags and dismissal state.
//
// It lives in static storage for the whole process: the start routine and the run modes fill
// in the first fields, the window procedures the rest. Tests set the fields directly to put
// the procedures into a given situation (a preview, the legacy platform, a password check).
#pragma once

#include <windows.h>

namespace roses {

// VerifyScreenSavePwd of the legacy platform's password library: non-zero when the user may
// leave the saver.
using verify_password_function = BOOL(WINAPI*)(HWND window);
// ImmAssociateContext of the input-method library; the context is an opaque handle.
using imm_associate_function = HANDLE(WINAPI*)(HWND window, HANDLE context);

// last_verify_tick before any verification has ended.
inline constexpr DWORD never_verified = 0xFFFFFFFF;

struct host_state {
    HINSTANCE instance = nullptr;
    HWND main_window = nullptr;
    bool preview_child = false;
    bool legacy_platform = false;
    HMODULE password_library = nullptr;
    verify_password_function verify_password = nullptr;

    // Only ever goes from 0 to non-zero: once set, the window no longer draws or reacts.
    LONG close_accepted = 0;
    bool verify_in_progress = false;
    DWORD last_verify_tick = never_verified;
    // Mouse movement is measured from here, against the pointer-travel rule that every host
    // shares (common/pointer_travel.h).
    POINT cursor_anchor{};
    HMODULE imm_module = nullptr;
    imm_associate_function imm_associate = nullptr;
    HANDLE saved_input_context = nullptr;
};

extern host_state host;

} // namespace roses
