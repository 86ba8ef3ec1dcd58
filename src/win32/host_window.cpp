#include "win32/host_window.h"

#include <cstdint>

#include "common/pointer_travel.h"
#include "win32/host_state.h"
#include "win32/saver_window.h"

namespace roses {
namespace {

// System commands carry flags in their low four bits.
constexpr WPARAM system_command_mask = 0xFFF0;
// WM_POWER: the system resumes after a critical suspension.
constexpr WPARAM power_critical_resume = 3;
// A close that follows a refused verification this soon is refused without asking again.
constexpr DWORD verify_quiet_period_ms = 200;

// Power events of WM_POWERBROADCAST, by number.
constexpr WPARAM power_query_suspend = 0;
constexpr WPARAM power_query_standby = 1;
constexpr WPARAM power_standby = 5;
constexpr WPARAM power_resume_critical = 6;
constexpr WPARAM power_resume_suspend = 7;
constexpr WPARAM power_resume_standby = 8;
constexpr WPARAM power_status_change = 10;
constexpr WPARAM power_resume_automatic = 18;
constexpr WPARAM power_setting_change = 0x8013;
// lparam bit of a resume event: the system resumes after a failed suspension.
constexpr LPARAM resume_from_failure = 1;

void hide_cursor() {
    SetCursor(nullptr);
}

void post_close(HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
}

LRESULT forward(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return saver_window_proc(window, message, wparam, lparam);
}

void detach_input_context(HWND window) {
    // Only an input-method library that something else already loaded is used: the saver
    // never loads one itself.
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    if (imm == nullptr) {
        return;
    }
    host.imm_module = imm;
    host.imm_associate = reinterpret_cast<imm_associate_function>(
        reinterpret_cast<void*>(GetProcAddress(imm, "ImmAssociateContext")));
    if (host.imm_associate != nullptr) {
        host.saved_input_context = host.imm_associate(window, nullptr);
    }
}

void restore_input_context(HWND window) {
    if (host.imm_module != nullptr && host.imm_associate != nullptr &&
        host.saved_input_context != nullptr) {
        host.imm_associate(window, host.saved_input_context);
    }
}

LRESULT system_command(HWND window, WPARAM wparam, LPARAM lparam) {
    if (host.preview_child) {
        return forward(window, WM_SYSCOMMAND, wparam, lparam);
    }
    switch (wparam & system_command_mask) {
    case SC_NEXTWINDOW:
    case SC_PREVWINDOW:
    case SC_SCREENSAVE:
        return 0;
    case SC_MONITORPOWER:
        // Close, but still let the monitor power down.
        post_close(window);
        return forward(window, WM_SYSCOMMAND, wparam, lparam);
    default:
        return forward(window, WM_SYSCOMMAND, wparam, lparam);
    }
}

// Resume events close the saver, unless the system only comes back from a suspension that
// failed: then the user has done nothing.
bool power_event_closes(WPARAM event, LPARAM lparam) {
    if (event >= power_query_standby && event <= power_standby) {
        return true;
    }
    switch (event) {
    case power_resume_critical:
    case power_resume_suspend:
    case power_resume_standby:
    case power_resume_automatic:
        return (lparam & resume_from_failure) == 0;
    case power_status_change:
    case power_setting_change:
        return false;
    default:
        return true;
    }
}

void mouse_moved(HWND window) {
    POINT now;
    GetCursorPos(&now);
    if (beyond_move_threshold(std::int64_t{now.x} - host.cursor_anchor.x,
                              std::int64_t{now.y} - host.cursor_anchor.y)) {
        post_close(window);
        host.cursor_anchor = now;
    }
}

} // namespace

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        detach_input_context(window);
        GetCursorPos(&host.cursor_anchor);
        if (!host.preview_child) {
            hide_cursor();
        }
        break;
    case WM_DESTROY:
        restore_input_context(window);
        PostQuitMessage(0);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_PAINT:
        if (host.close_accepted) {
            return DefWindowProcA(window, message, wparam, lparam);
        }
        if (!host.preview_child) {
            hide_cursor();
        }
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (host.preview_child) {
            // Help in the settings page belongs to the page, not to the picture.
            HWND parent = GetParent(window);
            if (parent != nullptr && IsWindow(parent)) {
                PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lparam);
            }
            return 1;
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (host.close_accepted) {
            return DefWindowProcA(window, message, wparam, lparam);
        }
        break;
    case WM_TIMER:
        if (host.close_accepted) {
            return 0;
        }
        // Let other programs run between frames.
        Sleep(0);
        break;
    case WM_SYSCOMMAND:
        return system_command(window, wparam, lparam);
    default:
        break;
    }
    return forward(window, message, wparam, lparam);
}

LRESULT default_saver_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (host.preview_child || host.close_accepted) {
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == WM_CLOSE) {
        if (host.legacy_platform && verify_before_close(window) == 0) {
            GetCursorPos(&host.cursor_anchor);
            return 0;
        }
        return DefWindowProcA(window, message, wparam, lparam);
    }
    if (message == verify_request_message) {
        if (!host.legacy_platform) {
            return DefWindowProcA(window, message, wparam, lparam);
        }
        return host.verify_password == nullptr ? 1 : host.verify_password(window);
    }
    // The password dialog dispatches input to this window while it is open: none of it may
    // close the saver.
    if (host.verify_in_progress) {
        return DefWindowProcA(window, message, wparam, lparam);
    }

    switch (message) {
    case WM_SETCURSOR:
        hide_cursor();
        return 1;
    case WM_SHOWWINDOW:
        if (wparam != 0) {
            hide_cursor();
        }
        break;
    case WM_ACTIVATEAPP:
        if (wparam == 0) {
            post_close(window);
        }
        break;
    case WM_POWER:
        if (wparam == power_critical_resume) {
            post_close(window);
        }
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        post_close(window);
        break;
    case WM_MOUSEMOVE:
        mouse_moved(window);
        break;
    case WM_POWERBROADCAST:
        if (wparam == power_query_suspend) {
            return 1;
        }
        if (power_event_closes(wparam, lparam)) {
            post_close(window);
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

LONG verify_before_close(HWND window) {
    if (host.verify_in_progress) {
        return 0;
    }
    if (host.verify_password == nullptr) {
        host.close_accepted = 1;
        return 1;
    }
    const DWORD now = GetTickCount();
    if (host.last_verify_tick != never_verified &&
        now - host.last_verify_tick < verify_quiet_period_ms) {
        return host.close_accepted;
    }

    host.verify_in_progress = true;
    // Frames that queued up before the dialog would only delay it.
    MSG pending;
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    host.close_accepted = static_cast<LONG>(SendMessageA(window, verify_request_message, 0, 0));
    host.verify_in_progress = false;
    if (host.close_accepted == 0) {
        hide_cursor();
    }
    host.last_verify_tick = GetTickCount();
    return host.close_accepted;
}

} // namespace roses
