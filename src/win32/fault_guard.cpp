#include "win32/fault_guard.h"

#include <cstdlib>

// gcc has no __try/__except, so the guard is a small frame of our own with a language handler
// of our own in the unwind tables, which is what __except compiles to: in the search pass the
// handler asks the platform's filter, and when the filter says "execute handler" it unwinds
// every frame above it with RtlUnwindEx and resumes at a landing point inside the guard frame.
//
// Hardware faults are foreign to gcc's own handlers, which neither catch them nor run cleanups
// for them, so this unwind passes straight through C++ frames. C++ exceptions, in contrast,
// are caught first in C++ (see call_body) so that gcc unwinds its frames itself, running every
// destructor; they are then raised again as a plain exception that the guard frame takes.

extern "C" {
// The frame: calls guard_body_trampoline(body, data); returns 1 normally and 0 when
// guard_handler unwound to guard_landing.
int roses_guard_frame(roses::guarded_body body, void* data);
void roses_guard_landing();
EXCEPTION_DISPOSITION roses_guard_handler(EXCEPTION_RECORD* record, void* establisher_frame,
                                          CONTEXT* context, DISPATCHER_CONTEXT* dispatcher);
void roses_guard_call_body(roses::guarded_body body, void* data);
}

asm(R"(
    .text
    .p2align 4
    .globl roses_guard_frame
    .def roses_guard_frame; .scl 2; .type 32; .endef
    .seh_proc roses_guard_frame
roses_guard_frame:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler roses_guard_handler, @except
    call roses_guard_call_body
    movl $1, %eax
    .globl roses_guard_landing
roses_guard_landing:
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");

extern "C" void roses_guard_call_body(roses::guarded_body body, void* data) {
    bool escaped = false;
    try {
        body(data);
    } catch (...) {
        escaped = true;
    }
    // Raised outside the catch block, so that the C++ exception is finished and freed first.
    if (escaped) {
        RaiseException(roses::escaped_exception_code, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    }
}

extern "C" EXCEPTION_DISPOSITION roses_guard_handler(EXCEPTION_RECORD* record,
                                                     void* establisher_frame, CONTEXT* context,
                                                     DISPATCHER_CONTEXT* dispatcher) {
    if ((record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) != 0) {
        return ExceptionContinueSearch;
    }
    EXCEPTION_POINTERS pointers{record, context};
    if (UnhandledExceptionFilter(&pointers) != EXCEPTION_EXECUTE_HANDLER) {
        return ExceptionContinueSearch;
    }
    // Resumes at the landing point with 0 in the result register; never returns.
    RtlUnwindEx(establisher_frame, reinterpret_cast<void*>(&roses_guard_landing), record, nullptr,
                context, dispatcher->HistoryTable);
    std::abort();
}

namespace roses {

bool run_guarded(guarded_body body, void* data) {
    return roses_guard_frame(body, data) != 0;
}

} // namespace roses
