#include "win32/host_entry.h"

#include <commctrl.h>

#include "win32/fault_guard.h"
#include "win32/host_state.h"
#include "win32/host_window.h"
#include "win32/resource_ids.h"
#include "win32/saver_window.h"

namespace roses {

host_state host;

namespace {

constexpr std::int32_t unusable_command = -1;
// The size that GetVersionExA expects of the plain OSVERSIONINFOA.
constexpr DWORD version_info_size = 148;
constexpr DWORD legacy_platform_id = 1;

using change_password_function = DWORD(WINAPI*)(const char* provider, HWND parent, DWORD reserved1,
                                                DWORD reserved2);

template <typename function> function lookup(HMODULE module, const char* name) {
    return reinterpret_cast<function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void enable_heap_termination() {
    using set_heap_information = BOOL(WINAPI*)(HANDLE, HEAP_INFORMATION_CLASS, void*, SIZE_T);
    HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
    if (kernel == nullptr) {
        return;
    }
    if (auto set = lookup<set_heap_information>(kernel, "HeapSetInformation")) {
        set(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);
    }
}

// The window a number names, or null when it is 0 or names no live window.
HWND named_window(std::uint32_t number) {
    HWND window = window_from_number(number);
    return number != 0 && IsWindow(window) ? window : nullptr;
}

std::int32_t run_chosen_mode(const char* command) {
    const run_choice choice = choose_run_mode(command);
    switch (choice.mode) {
    case run_mode::settings_alone:
        return show_settings(nullptr);
    case run_mode::full_screen:
        return run_saver(nullptr);
    case run_mode::preview: {
        HWND parent = named_window(choice.window_number);
        return parent != nullptr ? run_saver(parent) : unusable_command;
    }
    case run_mode::settings: {
        HWND parent = named_window(choice.window_number);
        return show_settings(parent != nullptr ? parent : GetForegroundWindow());
    }
    case run_mode::password_change: {
        if (!host.legacy_platform) {
            return unusable_command;
        }
        HWND parent = named_window(choice.window_number);
        change_password(parent != nullptr ? parent : GetForegroundWindow());
        return 0;
    }
    case run_mode::unusable:
        break;
    }
    return unusable_command;
}

struct mode_call {
    const char* command;
    std::int32_t result;
};

void run_mode_call(void* data) {
    auto* call = static_cast<mode_call*>(data);
    call->result = run_chosen_mode(call->command);
}

} // namespace

const char* skip_program_name(const char* command_line) {
    const char* at = command_line;
    if (*at == '"') {
        do {
            at = CharNextA(at);
        } while (*at != '\0' && *at != '"');
        if (*at == '"') {
            ++at;
        }
    } else {
        while (static_cast<unsigned char>(*at) > ' ') {
            ++at;
        }
    }
    while (*at >= 1 && *at <= ' ') {
        ++at;
    }
    return at;
}

std::int32_t saver_entry(HINSTANCE instance, const char* command) {
    enable_heap_termination();
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    host.instance = instance;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = version_info_size;
    host.legacy_platform =
        GetVersionExA(&version) != 0 && version.dwPlatformId == legacy_platform_id;

    mode_call call{command, 0};
    if (!run_guarded(run_mode_call, &call)) {
        set_saver_running(false);
        return unusable_command;
    }
    return call.result;
}

// The full-screen window covers every monitor; a platform that reports no virtual screen gets
// the desktop's clip box instead.
RECT full_screen_rect() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width != 0 && height != 0) {
        return RECT{x, y, x + width, y + height};
    }
    RECT box{};
    HDC screen = GetDC(nullptr);
    GetClipBox(screen, &box);
    ReleaseDC(nullptr, screen);
    return box;
}

HWND window_from_number(std::uint32_t number) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(number));
}

std::int32_t run_saver(HWND parent) {
    WNDCLASSA window_class{};
    window_class.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = host_window_proc;
    window_class.hInstance = host.instance;
    window_class.hIcon = LoadIconA(host.instance, MAKEINTRESOURCEA(class_icon_id));
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    window_class.lpszClassName = saver_class_name;

    RECT area{};
    DWORD style = 0;
    DWORD extended_style = 0;
    const char* title = nullptr;
    if (parent != nullptr) {
        GetClientRect(parent, &area);
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = preview_title;
        host.preview_child = true;
    } else {
        area = full_screen_rect();
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        extended_style = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        title = full_screen_title;
        HWND running = FindWindowA(saver_class_name, full_screen_title);
        if (running != nullptr && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        load_password_check();
    }

    if (RegisterClassA(&window_class) != 0) {
        host.main_window =
            CreateWindowExA(extended_style, saver_class_name, title, style, area.left, area.top,
                            area.right - area.left, area.bottom - area.top, parent, nullptr,
                            host.instance, nullptr);
    }
    MSG message{};
    if (host.main_window != nullptr) {
        if (parent == nullptr) {
            SetForegroundWindow(host.main_window);
        }
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    unload_password_check();
    return host.main_window != nullptr ? static_cast<std::int32_t>(message.wParam) : 0;
}

std::int32_t show_settings(HWND parent) {
    if (!register_settings_classes(host.instance)) {
        return 0;
    }
    return static_cast<std::int32_t>(DialogBoxParamA(
        host.instance, MAKEINTRESOURCEA(settings_dialog_id), parent, config_dialog_proc, 0));
}

void change_password(HWND parent) {
    HMODULE library = LoadLibraryA("MPR.DLL");
    if (library == nullptr) {
        return;
    }
    if (auto change = lookup<change_password_function>(library, "PwdChangePasswordA")) {
        change("SCRSAVE", parent, 0, 0);
    }
    FreeLibrary(library);
}

void load_password_check() {
    if (!host.legacy_platform) {
        return;
    }
    if (host.password_library != nullptr) {
        unload_password_check();
    }
    HKEY desktop = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &desktop) !=
        ERROR_SUCCESS) {
        return;
    }
    DWORD use_password = 0;
    DWORD size = sizeof(use_password);
    if (RegQueryValueExA(desktop, "ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&use_password), &size) == ERROR_SUCCESS &&
        use_password != 0) {
        host.password_library = LoadLibraryA("PASSWORD.CPL");
        if (host.password_library != nullptr) {
            host.verify_password =
                lookup<verify_password_function>(host.password_library, "VerifyScreenSavePwd");
            if (host.verify_password != nullptr) {
                set_saver_running(true);
            } else {
                unload_password_check();
            }
        }
    }
    RegCloseKey(desktop);
}

void unload_password_check() {
    if (!host.legacy_platform || host.password_library == nullptr) {
        return;
    }
    FreeLibrary(host.password_library);
    host.password_library = nullptr;
    if (host.verify_password != nullptr) {
        host.verify_password = nullptr;
        set_saver_running(false);
    }
}

void set_saver_running(bool running) {
    if (!host.legacy_platform) {
        return;
    }
    UINT previous = 0;
    SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? 1 : 0, &previous, 0);
}

} // namespace roses
