// Prints what Windows tells a process about display scaling: its DPI awareness (0 unaware,
// 1 system, 2 per monitor, -1 when the call is missing), the system DPI and the virtual
// screen. It carries roses.scr's manifest, so it is as aware as the saver.
#include <cstdio>

#include <windows.h>

int main() {
    using context_getter = void*(WINAPI*)();
    using awareness_of = int(WINAPI*)(void*);
    using dpi_getter = UINT(WINAPI*)();
    HMODULE user = GetModuleHandleA("user32.dll");
    auto thread_context = reinterpret_cast<context_getter>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetThreadDpiAwarenessContext")));
    auto awareness = reinterpret_cast<awareness_of>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    auto system_dpi = reinterpret_cast<dpi_getter>(
        reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForSystem")));
    std::printf("awareness %d dpi %u screen %d %d %d %d\n",
                thread_context && awareness ? awareness(thread_context()) : -1,
                system_dpi ? system_dpi() : 0U, GetSystemMetrics(SM_XVIRTUALSCREEN),
                GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                GetSystemMetrics(SM_CYVIRTUALSCREEN));
    return 0;
}
