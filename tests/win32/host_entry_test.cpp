// The command line, the run modes and the fault guard, on real windows: each mode that opens a
// window is ended by closing that window as soon as its creation reaches the saver.
#include "win32/host_entry.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "recording_saver.h"
#include "win32/fault_guard.h"
#include "win32/host_state.h"

namespace roses {
namespace {

using testing::saver_created;

TEST(SkipProgramName, QuotedAndPlainNames) {
    EXPECT_STREQ(skip_program_name("\"C:\\Program Files\\roses.scr\" /s"), "/s");
    EXPECT_STREQ(skip_program_name("\"C:\\roses.scr\"/p 12"), "/p 12");
    EXPECT_STREQ(skip_program_name("roses.scr   /c:5"), "/c:5");
    EXPECT_STREQ(skip_program_name("roses.scr\t\x01 /s "), "/s ");
    EXPECT_STREQ(skip_program_name("roses.scr"), "");
    EXPECT_STREQ(skip_program_name("\"unterminated /s"), "");
    EXPECT_STREQ(skip_program_name(""), "");
}

TEST(ParseWindowHandle, ReadsDigitsAndWrapsModulo2To32) {
    EXPECT_EQ(parse_window_handle("1234"), 1234u);
    EXPECT_EQ(parse_window_handle("12ab"), 12u);
    EXPECT_EQ(parse_window_handle(""), 0u);
    EXPECT_EQ(parse_window_handle(" 5"), 0u);
    EXPECT_EQ(parse_window_handle("4000000000"), 4000000000u);
    EXPECT_EQ(parse_window_handle("4294967296"), 0u);
    EXPECT_EQ(parse_window_handle("4294967301"), 5u);
}

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

class RunModes : public ::testing::Test {
  protected:
    void SetUp() override {
        host = host_state{};
        testing::clear_recording();
        UnregisterClassA(saver_class_name, GetModuleHandleA(nullptr));
        // Every window the saver opens is closed as soon as it exists.
        testing::saver_hook = [](HWND window, UINT message, WPARAM, LPARAM) {
            if (message == WM_CREATE) {
                PostMessageA(window, WM_CLOSE, 0, 0);
            }
        };
        WNDCLASSA plain{};
        plain.lpfnWndProc = plain_proc;
        plain.hInstance = GetModuleHandleA(nullptr);
        plain.lpszClassName = "RosesRunModesParent";
        RegisterClassA(&plain);
        parent = CreateWindowExA(0, "RosesRunModesParent", "settings", WS_OVERLAPPEDWINDOW, 20, 20,
                                 200, 150, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        parent_number = std::to_string(reinterpret_cast<ULONG_PTR>(parent));
    }

    void TearDown() override {
        testing::saver_hook = nullptr;
        DestroyWindow(parent);
        testing::drain_queue();
    }

    std::int32_t run(const std::string& command) {
        host = host_state{};
        UnregisterClassA(saver_class_name, GetModuleHandleA(nullptr));
        testing::clear_recording();
        return saver_entry(GetModuleHandleA(nullptr), command.c_str());
    }

    HWND parent = nullptr;
    std::string parent_number;
};

TEST_F(RunModes, FullScreenSwitchesOpenOneWindowOverTheVirtualScreen) {
    for (const char* command : {"/s", "-S", "  s", "//s", "/s 123 trailing"}) {
        EXPECT_EQ(run(command), 0) << command;
        ASSERT_EQ(saver_created.size(), 1u) << command;
        const auto& created = saver_created[0];
        EXPECT_EQ(created.title, "Screen Saver");
        EXPECT_EQ(created.parent, nullptr);
        EXPECT_FALSE(host.preview_child);
        EXPECT_EQ(created.rect.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
        EXPECT_EQ(created.rect.right - created.rect.left, GetSystemMetrics(SM_CXVIRTUALSCREEN));
        EXPECT_EQ(created.rect.bottom - created.rect.top, GetSystemMetrics(SM_CYVIRTUALSCREEN));
        EXPECT_TRUE(created.style & WS_POPUP);
    }
}

TEST_F(RunModes, PreviewRunsInsideALiveWindowOnly) {
    RECT client;
    GetClientRect(parent, &client);
    for (const std::string& command : {"/p " + parent_number, "/l " + parent_number,
                                       "P" + parent_number, "/p   " + parent_number + " /s"}) {
        EXPECT_EQ(run(command), 0) << command;
        ASSERT_EQ(saver_created.size(), 1u) << command;
        const auto& created = saver_created[0];
        EXPECT_EQ(created.title, "Preview");
        EXPECT_EQ(created.parent, parent);
        EXPECT_TRUE(host.preview_child);
        EXPECT_EQ(created.rect.right, client.right);
        EXPECT_EQ(created.rect.bottom, client.bottom);
        EXPECT_TRUE(created.style & WS_CHILD);
    }
    for (const std::string& command :
         {std::string("/p 0"), std::string("/p"), std::string("/p 12ab"),
          std::string("/p 4000000000"), "/p:" + parent_number, "/p " + parent_number + "x1"}) {
        const bool names_parent = command == "/p " + parent_number + "x1";
        EXPECT_EQ(run(command), names_parent ? 0 : -1) << command;
        EXPECT_EQ(saver_created.size(), names_parent ? 1u : 0u) << command;
    }
}

TEST_F(RunModes, SettingsAndUnknownSwitchesShowNothingAndEndWithMinusOne) {
    // The settings mode finds no dialog of its own and fails.
    for (const std::string& command :
         {std::string(""), std::string("   "), std::string("/c"), std::string("/c:0"),
          std::string("/C ") + parent_number, "/c:" + parent_number, std::string("/x"),
          std::string("/a"), std::string("/a 0"), std::string("?s"), std::string("/ä")}) {
        EXPECT_EQ(run(command), -1) << "'" << command << "'";
        EXPECT_TRUE(saver_created.empty()) << command;
    }
}

TEST_F(RunModes, ASecondFullScreenSaverOnlyBringsTheFirstToTheFront) {
    WNDCLASSA other{};
    other.lpfnWndProc = plain_proc;
    other.hInstance = GetModuleHandleA(nullptr);
    other.lpszClassName = saver_class_name;
    UnregisterClassA(saver_class_name, GetModuleHandleA(nullptr));
    ASSERT_NE(RegisterClassA(&other), 0);
    HWND running = CreateWindowExA(0, saver_class_name, full_screen_title, WS_POPUP, 0, 0, 10, 10,
                                   nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(running, nullptr);

    host = host_state{};
    testing::clear_recording();
    EXPECT_EQ(saver_entry(GetModuleHandleA(nullptr), "/s"), 0);
    EXPECT_TRUE(saver_created.empty());
    EXPECT_EQ(host.main_window, nullptr);
    DestroyWindow(running);
}

TEST_F(RunModes, ThePlatformIsNotTheLegacyFamily) {
    run("/x");
    EXPECT_FALSE(host.legacy_platform);
}

// Fault guard: a top-level filter of the test's own stands for the platform's decision.
struct filter_record {
    static inline int calls = 0;
    static inline DWORD code = 0;
    static inline LONG answer = EXCEPTION_EXECUTE_HANDLER;
    static LONG WINAPI filter(EXCEPTION_POINTERS* pointers) {
        ++calls;
        code = pointers->ExceptionRecord->ExceptionCode;
        return answer;
    }
};

class FaultGuard : public RunModes {
  protected:
    void SetUp() override {
        RunModes::SetUp();
        filter_record::calls = 0;
        filter_record::code = 0;
        previous = SetUnhandledExceptionFilter(filter_record::filter);
    }
    void TearDown() override {
        SetUnhandledExceptionFilter(previous);
        RunModes::TearDown();
    }
    LPTOP_LEVEL_EXCEPTION_FILTER previous = nullptr;
};

// Writing through a pointer the compiler cannot see to be null.
void write_through(volatile int* volatile* pointer) {
    **pointer = 1;
}

struct counted {
    static inline int destroyed = 0;
    ~counted() { ++destroyed; }
};

TEST_F(FaultGuard, AnOrdinaryBodyRunsOnce) {
    int runs = 0;
    EXPECT_TRUE(run_guarded([](void* data) { ++*static_cast<int*>(data); }, &runs));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(filter_record::calls, 0);
}

TEST_F(FaultGuard, AHardwareFaultIsOfferedToTheFilterAndEndsTheBody) {
    volatile int* volatile nowhere = nullptr;
    int after = 0;
    struct data {
        volatile int* volatile* pointer;
        int* after;
    } call{&nowhere, &after};
    EXPECT_FALSE(run_guarded(
        [](void* raw) {
            auto* d = static_cast<data*>(raw);
            write_through(d->pointer);
            *d->after = 1;
        },
        &call));
    EXPECT_EQ(after, 0);
    EXPECT_EQ(filter_record::calls, 1);
    EXPECT_EQ(filter_record::code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    // The guard works again afterwards.
    EXPECT_FALSE(
        run_guarded([](void* raw) { write_through(static_cast<data*>(raw)->pointer); }, &call));
    EXPECT_EQ(filter_record::calls, 2);
}

TEST_F(FaultGuard, AnEscapingCppExceptionUnwindsAndIsOffered) {
    counted::destroyed = 0;
    EXPECT_FALSE(run_guarded(
        [](void*) {
            counted local;
            throw std::runtime_error("escaped");
        },
        nullptr));
    EXPECT_EQ(counted::destroyed, 1) << "destructors on the way out run";
    EXPECT_EQ(filter_record::calls, 1);
    EXPECT_EQ(filter_record::code, escaped_exception_code);
}

TEST_F(FaultGuard, AnExceptionCaughtInsideNeverReachesTheFilter) {
    EXPECT_TRUE(run_guarded(
        [](void*) {
            try {
                throw 7;
            } catch (int) {
            }
        },
        nullptr));
    EXPECT_EQ(filter_record::calls, 0);
}

TEST_F(FaultGuard, AFaultInTheSaversMessageLoopEndsTheModeWithMinusOne) {
    // The window's first timer message faults, as a broken frame would.
    testing::saver_hook = [](HWND window, UINT message, WPARAM, LPARAM) {
        if (message == WM_CREATE) {
            PostMessageA(window, WM_TIMER, 1, 0);
        } else if (message == WM_TIMER) {
            volatile int* volatile nowhere = nullptr;
            write_through(&nowhere);
        }
    };
    EXPECT_EQ(saver_entry(GetModuleHandleA(nullptr), "/s"), -1);
    EXPECT_EQ(filter_record::calls, 1);
    EXPECT_EQ(filter_record::code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));
    DestroyWindow(host.main_window);
}

} // namespace
} // namespace roses
