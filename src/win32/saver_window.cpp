#include "win32/saver_window.h"

#include <cstdint>
#include <vector>

#include <GL/gl.h>

#include "display/line_width.h"
#include "scene/frame_clock.h"
#include "scene/frame_step.h"
#include "win32/host_entry.h"
#include "win32/host_state.h"
#include "win32/host_window.h"

namespace roses {
namespace {

// One render timer, one frame a step: the Windows saver draws each step once.
constexpr UINT_PTR render_timer_id = 1;
constexpr UINT render_period_ms = static_cast<UINT>(step_period.count());

// There is one saver window per process, so its drawing state is process-wide too. The
// scenes are never freed: their worker threads may still be in a tick when the window goes,
// and the process ends right after.
struct display_state {
    HDC device_context = nullptr;
    HGLRC rendering_context = nullptr;
    RECT client{};
    std::int32_t width = 0;
    std::int32_t height = 0;
    frame_step* frames = nullptr;
    // The render timer's messages so far: the frame step's time. Each message is a step and
    // its frame, however late or early the timer comes.
    frame_step::ticks timer_messages = 0;
    // The window's DPI as the last WM_DPICHANGED gave it, for a Windows that cannot be asked
    // for it; 0 until then.
    UINT told_dpi = 0;
};

display_state display;

// Double-buffered RGBA with 24 colour bits and nothing else: no depth buffer (the roses are
// drawn in list order) and no alpha planes (blending uses the source alpha only).
void create_gl_context(HWND window) {
    PIXELFORMATDESCRIPTOR format{};
    format.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    format.nVersion = 1;
    format.dwFlags = PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 24;
    display.device_context = GetDC(window);
    const int index = ChoosePixelFormat(display.device_context, &format);
    SetPixelFormat(display.device_context, index, &format);
    display.rendering_context = wglCreateContext(display.device_context);
    wglMakeCurrent(display.device_context, display.rendering_context);
}

// The dots per inch of the display a window is on: GetDpiForWindow, which exists from
// Windows 10 (1607) on and is looked up at run time, so that roses.scr still starts on older
// Windows and imports nothing new; there what WM_DPICHANGED last said, else the screen's
// figure, stands in.
UINT window_dpi(HWND window) {
    using dpi_for_window = UINT(WINAPI*)(HWND);
    static const auto dpi_of = reinterpret_cast<dpi_for_window>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (dpi_of != nullptr) {
        if (const UINT dpi = dpi_of(window); dpi != 0) {
            return dpi;
        }
    }
    if (display.told_dpi != 0) {
        return display.told_dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

// The scale of the window as one picture. The preview draws at the density of the settings
// page it sits in.
double window_scale(HWND window) {
    HWND parent = GetParent(window);
    return scale_for_dpi(window_dpi(parent != nullptr ? parent : window));
}

// GetDpiForMonitor of SHCORE.DLL, which Windows has only from 8.1 on: looked up at run time,
// so that the saver still starts where it is missing.
using dpi_for_monitor_function = HRESULT(WINAPI*)(HMONITOR monitor, int kind, UINT* x, UINT* y);
// MDT_EFFECTIVE_DPI: the density the user's scaling setting gives the monitor.
constexpr int effective_dpi = 0;

// unknown_scale where the monitor's own density cannot be read: it then takes the window's.
double monitor_scale(HMONITOR monitor) {
    static const dpi_for_monitor_function dpi_for_monitor = [] {
        HMODULE shcore = LoadLibraryA("SHCORE.DLL");
        return shcore == nullptr
                   ? nullptr
                   : reinterpret_cast<dpi_for_monitor_function>(
                         reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
    }();
    UINT x = 0;
    UINT y = 0;
    if (dpi_for_monitor == nullptr || FAILED(dpi_for_monitor(monitor, effective_dpi, &x, &y)) ||
        x == 0) {
        return unknown_scale;
    }
    return scale_for_dpi(x);
}

// A monitor's display device ("\\.\DISPLAY2") names it across a change of the layout, where
// its place may move: FNV-1a of the name.
std::uint64_t device_identity(const char* device) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char* c = device; *c != '\0'; ++c) {
        hash = (hash ^ static_cast<unsigned char>(*c)) * 1099511628211ull;
    }
    return hash;
}

// Collects each monitor in screen coordinates.
BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
    MONITORINFOEXA info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<monitor_rect>*>(found)->push_back(
            {r.left, r.top, r.right - r.left, r.bottom - r.top, monitor_scale(monitor),
             device_identity(info.szDevice)});
    }
    return TRUE;
}

// The monitors in the window's client coordinates. The preview is one picture, whatever
// monitor its settings page is on.
std::vector<monitor_rect> window_monitors(HWND window) {
    std::vector<monitor_rect> result;
    if (host.preview_child) {
        return result;
    }
    EnumDisplayMonitors(nullptr, nullptr, add_monitor, reinterpret_cast<LPARAM>(&result));
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    for (monitor_rect& monitor : result) {
        monitor.x -= origin.x;
        monitor.y -= origin.y;
    }
    return result;
}

void read_client_size(HWND window) {
    GetClientRect(window, &display.client);
    display.width = display.client.right;
    display.height = display.client.bottom;
}

void lay_out(HWND window) {
    display.frames->lay_out(window_monitors(window),
                            {display.width, display.height, window_scale(window)});
}

} // namespace

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        read_client_size(window);
        create_gl_context(window);
        // One step a timer message, and one frame a step, drawn whole.
        display.frames = new frame_step(true, 1, frame_pacing{});
        display.told_dpi = 0;
        lay_out(window);
        SetTimer(window, render_timer_id, render_period_ms, nullptr);
        return 0;
    case WM_DISPLAYCHANGE: {
        if (host.preview_child) {
            break;
        }
        // The window follows the new virtual screen first, so that the monitors are laid
        // out inside the window they will be drawn in.
        const RECT area = full_screen_rect();
        SetWindowPos(window, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
        read_client_size(window);
        lay_out(window);
        return 0;
    }
    case WM_DPICHANGED:
        // The window's density changed (a new scaling setting): the strips follow, each
        // monitor's as that monitor has it now. The suggested rectangle is left alone: the
        // saver keeps covering the whole virtual screen, and the message goes on unchanged.
        display.told_dpi = LOWORD(wparam);
        lay_out(window);
        break;
    case WM_DPICHANGED_AFTERPARENT:
        // A preview whose settings page moved to a display of another density.
        lay_out(window);
        break;
    case WM_TIMER:
        // The present sequence that the saver has always used: the frame finished, flushed
        // once more, then swapped.
        display.frames->wake(++display.timer_messages, [] { return true; });
        glFinish();
        glFlush();
        SwapBuffers(display.device_context);
        return 0;
    case WM_DESTROY:
        KillTimer(window, render_timer_id);
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(display.rendering_context);
        ReleaseDC(window, display.device_context);
        return 0;
    default:
        break;
    }
    return default_saver_proc(window, message, wparam, lparam);
}

INT_PTR CALLBACK config_dialog_proc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

BOOL register_settings_classes(HINSTANCE) {
    return TRUE;
}

} // namespace roses
