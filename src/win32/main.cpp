// The start routine of roses.scr. The runtime's own view of the arguments is ignored: the
// platform's command line is read the way every screen saver reads it, and the process ends
// with the mode's result without any orderly shutdown, which also ends the worker thread.
#include <windows.h>

#include "win32/host_entry.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* command = roses::skip_program_name(GetCommandLineA());
    ExitProcess(static_cast<UINT>(roses::saver_entry(GetModuleHandleA(nullptr), command)));
}
