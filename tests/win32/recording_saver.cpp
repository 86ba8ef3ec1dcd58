#include "recording_saver.h"

#include "win32/host_window.h"
#include "win32/saver_window.h"

namespace roses {

namespace testing {

std::vector<received_message> saver_received;
std::vector<created_window> saver_created;
std::function<void(HWND, UINT, WPARAM, LPARAM)> saver_hook;

void clear_recording() {
    saver_received.clear();
    saver_created.clear();
}

int received_count(UINT message) {
    int count = 0;
    for (const auto& received : saver_received) {
        count += received.message == message ? 1 : 0;
    }
    return count;
}

int take_posted(HWND window, UINT message) {
    int count = 0;
    MSG taken;
    while (PeekMessageA(&taken, window, message, message, PM_REMOVE)) {
        ++count;
    }
    return count;
}

void drain_queue() {
    MSG taken;
    while (PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE)) {
    }
}

} // namespace testing

LRESULT CALLBACK saver_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
        testing::saver_created.push_back(
            {window, create->hwndParent, create->lpszName != nullptr ? create->lpszName : "",
             RECT{create->x, create->y, create->x + create->cx, create->y + create->cy},
             create->style});
    }
    testing::saver_received.push_back({window, message, wparam, lparam});
    if (testing::saver_hook) {
        testing::saver_hook(window, message, wparam, lparam);
    }
    switch (message) {
    case WM_CREATE:
    case WM_TIMER:
    case WM_DESTROY:
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
