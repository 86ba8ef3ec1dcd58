// GoogleTest comes before Xlib, whose macros (None, Bool, Status) break its templates.
#include <gtest/gtest.h>

#include "x11/x11_coverage.h"
#include "x11/x11_dismissal.h"
#include "x11/x11_surface.h"

#include <vector>

namespace roses {
namespace {

XEvent motion_to(int x, int y) {
    XEvent event{};
    event.type = MotionNotify;
    event.xmotion.x_root = x;
    event.xmotion.y_root = y;
    // Window-relative coordinates differ on purpose: only the screen position counts.
    event.xmotion.x = -1000;
    event.xmotion.y = -1000;
    return event;
}

XEvent focus(int type, int mode, int detail) {
    XEvent event{};
    event.type = type;
    event.xfocus.mode = mode;
    event.xfocus.detail = detail;
    return event;
}

TEST(saver_dismissal, movement_closes_beyond_four_pixels_city_block_from_the_start) {
    saver_dismissal rules(100, 200);
    EXPECT_FALSE(rules.closes(motion_to(103, 201))); // 3 + 1
    EXPECT_FALSE(rules.closes(motion_to(96, 200)));  // 4 left
    EXPECT_FALSE(rules.closes(motion_to(98, 198)));  // 2 + 2
    // Small steps add up: distance is from the start, not from the previous event.
    EXPECT_TRUE(rules.closes(motion_to(103, 202))); // 3 + 2
    EXPECT_TRUE(rules.closes(motion_to(100, 195))); // 5 up
    EXPECT_TRUE(rules.closes(motion_to(120, 200))); // 20 right
    EXPECT_TRUE(rules.closes(motion_to(-2147483647, 200)));
}

TEST(saver_dismissal, any_key_or_button_press_closes_but_releases_do_not) {
    saver_dismissal rules(0, 0);
    for (int type : {KeyPress, ButtonPress}) {
        XEvent event{};
        event.type = type;
        EXPECT_TRUE(rules.closes(event)) << type;
    }
    for (int type : {KeyRelease, ButtonRelease, Expose, MapNotify, ConfigureNotify}) {
        XEvent event{};
        event.type = type;
        EXPECT_FALSE(rules.closes(event)) << type;
    }
}

TEST(saver_dismissal, losing_the_focus_closes_once_it_was_held) {
    saver_dismissal rules(0, 0);
    EXPECT_FALSE(rules.closes(focus(FocusOut, NotifyNormal, NotifyNonlinear)));
    EXPECT_FALSE(rules.closes(focus(FocusIn, NotifyNormal, NotifyNonlinear)));
    // Passing grabs and focus moving within our own window are not a departure.
    EXPECT_FALSE(rules.closes(focus(FocusOut, NotifyGrab, NotifyNonlinear)));
    EXPECT_FALSE(rules.closes(focus(FocusOut, NotifyUngrab, NotifyNonlinear)));
    EXPECT_FALSE(rules.closes(focus(FocusOut, NotifyNormal, NotifyInferior)));
    EXPECT_FALSE(rules.closes(focus(FocusOut, NotifyNormal, NotifyPointer)));
    EXPECT_TRUE(rules.closes(focus(FocusOut, NotifyNormal, NotifyNonlinear)));
    EXPECT_TRUE(rules.closes(focus(FocusOut, NotifyNormal, NotifyAncestor)));
    EXPECT_TRUE(rules.closes(focus(FocusOut, NotifyWhileGrabbed, NotifyNonlinear)));
}

// The window drawn into is gone only when an error names it: a BadWindow about a window that
// someone else destroyed must not end the saver.
TEST(x11_errors, only_errors_about_the_window_drawn_into_mean_it_is_lost) {
    constexpr Window own = 0x2a00007;
    constexpr int glx_errors = 160;
    XErrorEvent error{};
    for (unsigned char code : {BadWindow, BadDrawable}) {
        error.error_code = code;
        error.resourceid = own;
        EXPECT_TRUE(means_window_lost(error, own, glx_errors)) << int(code);
        error.resourceid = own + 1;
        EXPECT_FALSE(means_window_lost(error, own, glx_errors)) << int(code);
    }
    error.error_code = BadAtom;
    error.resourceid = own;
    EXPECT_FALSE(means_window_lost(error, own, glx_errors));
    error.error_code = glx_errors + 2; // GLXBadDrawable: the one GL drawable is ours
    EXPECT_TRUE(means_window_lost(error, own, glx_errors));
}

// Under a compositing manager a window is left undrawn only when opaque windows leave no pixel
// of it: the edges are where a pixel could be lost.
TEST(window_coverage, a_window_shows_through_wherever_no_cover_reaches) {
    const screen_rect area{0, 0, 100, 100};
    const auto shows = [&](const std::vector<screen_rect>& covers) {
        return shows_through(area, covers);
    };
    EXPECT_TRUE(shows({}));
    EXPECT_FALSE(shows({{-10, -10, 200, 200}}));
    EXPECT_TRUE(shows({{0, 0, 100, 99}}));
    EXPECT_TRUE(shows({{100, 0, 200, 100}})); // beside it, touching
    // Two halves that meet cover it; a column of one pixel between them does not.
    EXPECT_FALSE(shows({{0, 0, 50, 100}, {50, 0, 100, 100}}));
    EXPECT_TRUE(shows({{0, 0, 49, 100}, {50, 0, 100, 100}}));
    // A frame of four windows leaves a hole in the middle, until a fifth fills it.
    std::vector<screen_rect> frame = {
        {0, 0, 100, 10}, {0, 90, 100, 100}, {0, 10, 10, 90}, {90, 10, 100, 90}};
    EXPECT_TRUE(shows(frame));
    frame.push_back({10, 10, 90, 90});
    EXPECT_FALSE(shows(frame));
    // Nothing of a window off the screen can show.
    EXPECT_FALSE(shows_through({100, 0, 100, 50}, {}));
}

} // namespace
} // namespace roses
