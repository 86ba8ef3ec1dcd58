#include "win32/saver_window.h"

#include <cstdint>
#include <vector>

#include <GL/gl.h>

#include "scene/monitor_scenes.h"
#include "win32/host_entry.h"
#include "win32/host_state.h"
#include "win32/host_window.h"

namespace roses {
namespace {

// One render timer, one frame every 50 ms.
constexpr UINT_PTR render_timer_id = 1;
constexpr UINT render_period_ms = 50;

// There is one saver window per process, so its drawing state is process-wide too. The
// scenes are never freed: their worker threads may still be in a tick when the window goes,
// and the process ends right after.
struct display_state {
    HDC device_context = nullptr;
    HGLRC rendering_context = nullptr;
    RECT client{};
    std::int32_t width = 0;
    std::int32_t height = 0;
    monitor_scenes* scenes = nullptr;
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

// GetDpiForMonitor of SHCORE.DLL, which Windows has only from 8.1 on: looked up at run time,
// so that the saver still starts where it is missing.
using dpi_for_monitor_function = HRESULT(WINAPI*)(HMONITOR monitor, int kind, UINT* x, UINT* y);
// MDT_EFFECTIVE_DPI: the density the user's scaling setting gives the monitor.
constexpr int effective_dpi = 0;
constexpr double ordinary_dpi = 96.0;

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
        return 1.0;
    }
    return x / ordinary_dpi;
}

// Collects each monitor in screen coordinates.
BOOL CALLBACK add_monitor(HMONITOR monitor, HDC, LPRECT, LPARAM found) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        const RECT& r = info.rcMonitor;
        reinterpret_cast<std::vector<monitor_rect>*>(found)->push_back(
            {r.left, r.top, r.right - r.left, r.bottom - r.top, monitor_scale(monitor)});
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

} // namespace

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        read_client_size(window);
        create_gl_context(window);
        display.scenes = new monitor_scenes();
        display.scenes->lay_out(window_monitors(window), display.width, display.height);
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
        display.scenes->lay_out(window_monitors(window), display.width, display.height);
        return 0;
    }
    case WM_TIMER:
        display.scenes->render();
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
