// A stand-in for the saver's window procedure, linked into the host's test programs in place
// of the drawing one: it records every message that the host passes on and, like the real
// one, hands everything but creation, timer and destruction to default_saver_proc. The
// windows, messages and default procedures around it are the platform's own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace roses::testing {

struct received_message {
    HWND window;
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
};

struct created_window {
    HWND window;
    HWND parent;
    std::string title;
    RECT rect; // position and size given at creation
    LONG style;
};

// What saver_window_proc received since the last clear_recording().
extern std::vector<received_message> saver_received;
// Every window whose creation reached saver_window_proc.
extern std::vector<created_window> saver_created;
// Called for every message before it is recorded and passed on; tests use it to act at a
// given moment (close the window after creation, fault inside the loop...).
extern std::function<void(HWND, UINT, WPARAM, LPARAM)> saver_hook;

void clear_recording();
// How many times saver_window_proc received message.
int received_count(UINT message);

// Removes and counts the messages of one kind waiting in the queue for window.
int take_posted(HWND window, UINT message);
// Removes everything waiting in this thread's queue, a quit message included.
void drain_queue();

} // namespace roses::testing
