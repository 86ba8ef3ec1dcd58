// Runs a piece of the host so that a fault or an exception escaping it ends there instead of
// ending the process: the one place where the host reports trouble, with the exit code -1.
#pragma once

#include <windows.h>

namespace roses {

// The exception code under which a C++ exception that escaped the guarded body is offered to
// the platform's unhandled-exception filter (customer bit set, severity error, "ROS").
inline constexpr DWORD escaped_exception_code = 0xE0524F53;

using guarded_body = void (*)(void* data);

// Calls body(data). A hardware fault or a C++ exception that nothing inside handles is first
// offered to UnhandledExceptionFilter; when the filter answers that the caller should handle
// it, the stack is unwound back to here and the result is false. Otherwise true.
bool run_guarded(guarded_body body, void* data);

} // namespace roses
