// A stand-in for the settings page's preview: a window with a 152 x 112 client area for
// "roses.scr /p <number>" to draw into. It prints the window's number and where its client
// area lies on the screen, then runs until a line (or the end) arrives on standard input.
// Then it reports the saver's child window as the platform sees it ("child <title> <left>
// <top> <width> <height>" in the client area's coordinates, or "no child"), and destroys its
// own window, and with it the child.
#include <cstdio>

#include <windows.h>

namespace {

constexpr int client_width = 152;
constexpr int client_height = 112;

LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

DWORD WINAPI wait_for_input(void* parent) {
    char line[64];
    DWORD read = 0;
    ReadFile(GetStdHandle(STD_INPUT_HANDLE), line, sizeof line, &read, nullptr);
    HWND window = static_cast<HWND>(parent);
    HWND child = FindWindowExA(window, nullptr, "WindowsScreenSaverClass", nullptr);
    if (child != nullptr && IsWindowVisible(child)) {
        char title[64] = {};
        GetWindowTextA(child, title, sizeof title);
        RECT place;
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&place), 2);
        std::printf("child %s %ld %ld %ld %ld\n", title, place.left, place.top,
                    place.right - place.left, place.bottom - place.top);
    } else {
        std::printf("no child\n");
    }
    std::fflush(stdout);
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}

} // namespace

int main() {
    WNDCLASSA window_class{};
    window_class.lpfnWndProc = parent_proc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    window_class.lpszClassName = "RosesPreviewParent";
    RegisterClassA(&window_class);

    // No frame or caption: wine 10 shows another program's GL child of a window whose frame
    // it draws itself shifted by that frame, up and to the left, over the caption.
    const DWORD style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
    HWND window =
        CreateWindowExA(0, "RosesPreviewParent", "Roses preview", style, 200, 150, client_width,
                        client_height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) {
        return 1;
    }
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::printf("%lu %ld %ld %ld %ld\n",
                static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)), origin.x, origin.y,
                client.right, client.bottom);
    std::fflush(stdout);

    CloseHandle(CreateThread(nullptr, 0, wait_for_input, window, 0, nullptr));
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
