// The dismissal rules on a real window: messages go in through the platform, and the test
// looks at what the saver's procedure received and what was posted back to the window.
#include "win32/host_window.h"

#include <gtest/gtest.h>

#include "recording_saver.h"
#include "win32/host_state.h"

namespace roses {
namespace {

using testing::clear_recording;
using testing::received_count;
using testing::take_posted;

constexpr const char* test_class = "RosesHostWindowTest";
constexpr const char* parent_class = "RosesHostWindowTestParent";

// Parent windows keep what is posted to them in the queue for the test to look at.
LRESULT CALLBACK parent_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

class HostWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        host = host_state{};
        testing::saver_hook = nullptr;
        WNDCLASSA saver{};
        saver.lpfnWndProc = host_window_proc;
        saver.hInstance = GetModuleHandleA(nullptr);
        saver.lpszClassName = test_class;
        RegisterClassA(&saver);
        WNDCLASSA outer{};
        outer.lpfnWndProc = parent_proc;
        outer.hInstance = GetModuleHandleA(nullptr);
        outer.lpszClassName = parent_class;
        RegisterClassA(&outer);
    }

    void TearDown() override {
        testing::saver_hook = nullptr;
        if (window != nullptr && IsWindow(window)) {
            DestroyWindow(window);
        }
        if (parent != nullptr) {
            DestroyWindow(parent);
        }
        testing::drain_queue();
    }

    // A full-screen style window (the default) or, with preview, a child of a parent window.
    void create(bool preview = false) {
        if (preview) {
            parent = CreateWindowExA(0, parent_class, "settings", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                                     200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
            host.preview_child = true;
            window = CreateWindowExA(0, test_class, "Preview", WS_CHILD | WS_VISIBLE, 0, 0, 152,
                                     112, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
        } else {
            window = CreateWindowExA(0, test_class, "Screen Saver", WS_POPUP, 0, 0, 200, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        }
        ASSERT_NE(window, nullptr);
        testing::drain_queue();
        clear_recording();
    }

    LRESULT send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
        return SendMessageA(window, message, wparam, lparam);
    }

    int closes() { return take_posted(window, WM_CLOSE); }

    HWND window = nullptr;
    HWND parent = nullptr;
};

TEST_F(HostWindow, PressesCloseButReleasesAndDoubleClicksDoNot) {
    create();
    for (UINT press : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        send(press);
        EXPECT_EQ(closes(), 1) << "message " << press;
    }
    for (UINT other : {WM_KEYUP, WM_SYSKEYUP, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP,
                       WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK, WM_CHAR}) {
        send(other);
        EXPECT_EQ(closes(), 0) << "message " << other;
    }
    // Input reaches the saver's procedure first, as every message the host does not settle.
    EXPECT_EQ(received_count(WM_KEYDOWN), 1);
}

TEST_F(HostWindow, MouseMovementClosesOnlyBeyondFourPixelsAndMovesTheAnchor) {
    create();
    POINT now;
    GetCursorPos(&now);

    host.cursor_anchor = POINT{now.x - 3, now.y - 1}; // distance 4
    send(WM_MOUSEMOVE);
    EXPECT_EQ(closes(), 0);
    EXPECT_EQ(host.cursor_anchor.x, now.x - 3);

    host.cursor_anchor = POINT{now.x - 3, now.y + 2}; // distance 5
    send(WM_MOUSEMOVE);
    EXPECT_EQ(closes(), 1);
    EXPECT_EQ(host.cursor_anchor.x, now.x);
    EXPECT_EQ(host.cursor_anchor.y, now.y);

    // From the new anchor, staying put closes nothing.
    send(WM_MOUSEMOVE);
    EXPECT_EQ(closes(), 0);
}

TEST_F(HostWindow, CreationRecordsTheCursorAsAnchor) {
    POINT now;
    GetCursorPos(&now);
    create();
    EXPECT_EQ(host.cursor_anchor.x, now.x);
    EXPECT_EQ(host.cursor_anchor.y, now.y);
}

TEST_F(HostWindow, LosingActivationClosesAndGainingDoesNot) {
    create();
    send(WM_ACTIVATEAPP, TRUE);
    EXPECT_EQ(closes(), 0);
    send(WM_ACTIVATEAPP, FALSE);
    EXPECT_EQ(closes(), 1);
}

TEST_F(HostWindow, SystemCommandsThatSwitchAwayAreSwallowedInFullScreen) {
    create();
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        // The low four bits are flags and do not change the command.
        EXPECT_EQ(send(WM_SYSCOMMAND, command | 0x3), 0);
    }
    EXPECT_EQ(received_count(WM_SYSCOMMAND), 0);
    EXPECT_EQ(closes(), 0);

    send(WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_EQ(closes(), 1);
    EXPECT_EQ(received_count(WM_SYSCOMMAND), 1) << "the monitor must still power down";
}

TEST_F(HostWindow, PreviewForwardsSystemCommandsAndIgnoresInput) {
    create(true);
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW}) {
        send(WM_SYSCOMMAND, command);
    }
    EXPECT_EQ(received_count(WM_SYSCOMMAND), 3);

    host.cursor_anchor = POINT{-10000, -10000};
    for (UINT input : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN,
                       WM_MOUSEMOVE}) {
        send(input);
    }
    send(WM_ACTIVATEAPP, FALSE);
    send(WM_POWERBROADCAST, 9);
    EXPECT_EQ(closes(), 0);
    EXPECT_EQ(host.cursor_anchor.x, -10000);
}

TEST_F(HostWindow, HelpInAPreviewGoesToTheParent) {
    create(true);
    EXPECT_EQ(send(WM_CONTEXTMENU, 0, 0x12345), 1);
    MSG posted;
    ASSERT_TRUE(PeekMessageA(&posted, parent, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE));
    EXPECT_EQ(posted.wParam, reinterpret_cast<WPARAM>(parent));
    EXPECT_EQ(posted.lParam, 0x12345);

    // WM_HELP carries a pointer, which the platform refuses to post (it may only be sent), so
    // it is answered and goes nowhere else.
    HELPINFO help{};
    help.cbSize = sizeof help;
    EXPECT_EQ(send(WM_HELP, 0, reinterpret_cast<LPARAM>(&help)), 1);
    EXPECT_EQ(received_count(WM_HELP) + received_count(WM_CONTEXTMENU), 0);
}

TEST_F(HostWindow, HelpInFullScreenReachesTheSaver) {
    create();
    send(WM_CONTEXTMENU, 0, 0);
    EXPECT_EQ(received_count(WM_CONTEXTMENU), 1);
}

TEST_F(HostWindow, PowerEvents) {
    create();
    EXPECT_EQ(send(WM_POWERBROADCAST, 0), 1) << "suspension is granted";
    EXPECT_EQ(closes(), 0);

    for (WPARAM event : {1, 2, 3, 4, 5, 9, 11, 0x8000}) {
        send(WM_POWERBROADCAST, event);
        EXPECT_EQ(closes(), 1) << "event " << event;
    }
    for (WPARAM event : {6, 7, 8, 18}) {
        send(WM_POWERBROADCAST, event, 1);
        EXPECT_EQ(closes(), 0) << "resume from a failed suspension, event " << event;
        send(WM_POWERBROADCAST, event, 0);
        EXPECT_EQ(closes(), 1) << "resume, event " << event;
    }
    for (WPARAM event : {10, 0x8013}) {
        send(WM_POWERBROADCAST, event);
        EXPECT_EQ(closes(), 0) << "event " << event;
    }

    send(WM_POWER, 1);
    EXPECT_EQ(closes(), 0);
    send(WM_POWER, 3);
    EXPECT_EQ(closes(), 1);
}

TEST_F(HostWindow, TheTitleCannotBeChanged) {
    create();
    SetWindowTextA(window, "something else");
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Screen Saver");
}

TEST_F(HostWindow, CursorRequestsAreAnsweredByHidingIt) {
    create();
    EXPECT_EQ(send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window), HTCLIENT), 1);
}

TEST_F(HostWindow, TimerMessagesDrawUntilACloseIsAccepted) {
    create();
    EXPECT_EQ(send(WM_TIMER, 42), 0);
    EXPECT_EQ(received_count(WM_TIMER), 1) << "any timer identifier draws a frame";

    host.close_accepted = 1;
    EXPECT_EQ(send(WM_TIMER, 1), 0);
    send(WM_KEYDOWN);
    send(WM_PAINT);
    EXPECT_EQ(received_count(WM_TIMER), 1);
    EXPECT_EQ(received_count(WM_KEYDOWN), 0);
    EXPECT_EQ(received_count(WM_PAINT), 0);
    EXPECT_EQ(closes(), 0);
}

TEST_F(HostWindow, CloseDestroysTheWindowAndEndsTheLoop) {
    create();
    send(WM_CLOSE);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(received_count(WM_DESTROY), 1);
    MSG quit;
    ASSERT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(HostWindow, InputContextIsDetachedWhileTheSaverRuns) {
    HMODULE imm = GetModuleHandleA("IMM32.DLL");
    create();
    EXPECT_EQ(host.imm_module, imm);
    if (imm == nullptr) {
        GTEST_SKIP() << "no input-method library loaded in this process";
    }
    using get_context = HANDLE(WINAPI*)(HWND);
    using release_context = BOOL(WINAPI*)(HWND, HANDLE);
    auto get = reinterpret_cast<get_context>(
        reinterpret_cast<void*>(GetProcAddress(imm, "ImmGetContext")));
    auto release = reinterpret_cast<release_context>(
        reinterpret_cast<void*>(GetProcAddress(imm, "ImmReleaseContext")));
    ASSERT_NE(get, nullptr);
    HANDLE context = get(window);
    EXPECT_EQ(context, nullptr);
    if (context != nullptr) {
        release(window, context);
    }
    EXPECT_NE(host.saved_input_context, nullptr);
}

// The legacy platform's password check, with a stand-in for the platform's dialog.
struct verification {
    static inline int calls = 0;
    static inline BOOL answer = FALSE;
    static inline int timers_pending = -1;
    static inline LRESULT nested_close = -1;

    static BOOL WINAPI verify(HWND window) {
        ++calls;
        // What the dialog would dispatch to the saver window while it is open.
        MSG peeked;
        timers_pending = 0;
        while (PeekMessageA(&peeked, window, WM_TIMER, WM_TIMER, PM_REMOVE)) {
            ++timers_pending;
        }
        SendMessageA(window, WM_KEYDOWN, 0, 0);
        nested_close = SendMessageA(window, WM_CLOSE, 0, 0);
        return answer;
    }
};

class LegacyPassword : public HostWindow {
  protected:
    void SetUp() override {
        HostWindow::SetUp();
        verification::calls = 0;
        verification::answer = FALSE;
        create();
        host.legacy_platform = true;
        host.verify_password = verification::verify;
    }
};

TEST_F(LegacyPassword, RefusalKeepsTheSaverAndIsRepeatedSilentlyForTwoHundredMs) {
    for (int i = 0; i < 3; ++i) {
        PostMessageA(window, WM_TIMER, 1, 0);
    }
    host.cursor_anchor = POINT{-10000, -10000};
    EXPECT_EQ(send(WM_CLOSE), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(verification::calls, 1);
    EXPECT_EQ(verification::timers_pending, 1) << "two pending frames are dropped";
    EXPECT_EQ(verification::nested_close, 0) << "a close during the dialog is refused";
    EXPECT_EQ(closes(), 0) << "input during the dialog closes nothing";
    EXPECT_EQ(received_count(verify_request_message), 1);
    EXPECT_EQ(host.close_accepted, 0);
    EXPECT_NE(host.cursor_anchor.x, -10000) << "the anchor moves to the cursor";

    host.last_verify_tick = GetTickCount() - 100;
    send(WM_LBUTTONDOWN);
    ASSERT_EQ(closes(), 1);
    EXPECT_EQ(send(WM_CLOSE), 0);
    EXPECT_EQ(verification::calls, 1) << "refused again without asking";

    host.last_verify_tick = GetTickCount() - 250;
    verification::answer = TRUE;
    send(WM_CLOSE);
    EXPECT_EQ(verification::calls, 2);
    EXPECT_NE(host.close_accepted, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(LegacyPassword, NoVerificationFunctionAcceptsAtOnce) {
    host.verify_password = nullptr;
    send(WM_CLOSE);
    EXPECT_EQ(host.close_accepted, 1);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(LegacyPassword, OffTheLegacyPlatformNoPasswordIsAsked) {
    host.legacy_platform = false;
    EXPECT_EQ(send(verify_request_message), 0);
    send(WM_CLOSE);
    EXPECT_EQ(verification::calls, 0);
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
} // namespace roses
