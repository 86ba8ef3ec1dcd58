#include "win32/saver_window.h"

#include <cstdint>

#include <GL/gl.h>

#include "display/line_width.h"
#include "scene/frame.h"
#include "scene/saver_scene.h"
#include "win32/host_window.h"

namespace roses {
namespace {

// One render timer, one frame every 50 ms.
constexpr UINT_PTR render_timer_id = 1;
constexpr UINT render_period_ms = 50;

// There is one saver window per process, so its drawing state is process-wide too. The scene
// is never freed: its worker thread may still be in a tick when the window goes, and the
// process ends right after.
struct display_state {
    HDC device_context = nullptr;
    HGLRC rendering_context = nullptr;
    RECT client{};
    std::int32_t width = 0;
    std::int32_t height = 0;
    saver_scene* scene = nullptr;
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

// The dots per inch of the display a window is on. GetDpiForWindow exists from Windows 10
// (1607) on and is looked up at run time, so that roses.scr still starts on older Windows and
// imports nothing new; there the screen's figure stands in.
UINT window_dpi(HWND window) {
    using dpi_for_window = UINT(WINAPI*)(HWND);
    static const auto dpi_of = reinterpret_cast<dpi_for_window>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    if (dpi_of != nullptr) {
        if (const UINT dpi = dpi_of(window); dpi != 0) {
            return dpi;
        }
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return static_cast<UINT>(dpi);
}

// The preview draws at the density of the settings page it sits in.
double display_scale(HWND window) {
    HWND parent = GetParent(window);
    return scale_for_dpi(window_dpi(parent != nullptr ? parent : window));
}

} // namespace

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        GetClientRect(window, &display.client);
        display.width = display.client.right;
        display.height = display.client.bottom;
        create_gl_context(window);
        display.scene = new saver_scene();
        display.scene->scale = display_scale(window);
        set_projection(*display.scene, display.width, display.height);
        SetTimer(window, render_timer_id, render_period_ms, nullptr);
        return 0;
    case WM_TIMER:
        render_frame(*display.scene);
        glFinish();
        glFlush();
        SwapBuffers(display.device_context);
        return 0;
    case WM_DPICHANGED:
        // The window moved to a display of another density, or its density changed: the
        // strips follow. The suggested rectangle is left alone: the saver keeps covering the
        // whole virtual screen, and the message goes on unchanged.
        if (display.scene != nullptr) {
            display.scene->scale = scale_for_dpi(LOWORD(wparam));
        }
        return default_saver_proc(window, message, wparam, lparam);
    case WM_DPICHANGED_AFTERPARENT:
        // A preview whose settings page moved to a display of another density.
        if (display.scene != nullptr) {
            display.scene->scale = display_scale(window);
        }
        return default_saver_proc(window, message, wparam, lparam);
    case WM_DESTROY:
        KillTimer(window, render_timer_id);
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(display.rendering_context);
        ReleaseDC(window, display.device_context);
        return 0;
    default:
        return default_saver_proc(window, message, wparam, lparam);
    }
}

INT_PTR CALLBACK config_dialog_proc(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

BOOL register_settings_classes(HINSTANCE) {
    return TRUE;
}

} // namespace roses
