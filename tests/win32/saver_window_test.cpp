// The drawing side of the saver window on wine's real WGL: the pixel format, the context and
// the fixed projection, and what is left after the window goes.
#include "win32/saver_window.h"

#include <array>

#include <GL/gl.h>
#include <gtest/gtest.h>

#include "win32/host_state.h"
#include "win32/host_window.h"

namespace roses {
namespace {

constexpr const char* test_class = "RosesSaverWindowTest";

LRESULT CALLBACK plain_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcA(window, message, wparam, lparam);
}

class SaverWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        host = host_state{};
        WNDCLASSA saver{};
        saver.style = CS_OWNDC;
        saver.lpfnWndProc = host_window_proc;
        saver.hInstance = GetModuleHandleA(nullptr);
        saver.lpszClassName = test_class;
        RegisterClassA(&saver);
        WNDCLASSA plain{};
        plain.lpfnWndProc = plain_proc;
        plain.hInstance = GetModuleHandleA(nullptr);
        plain.lpszClassName = "RosesSaverWindowParent";
        RegisterClassA(&plain);
    }

    void TearDown() override {
        if (window != nullptr && IsWindow(window)) {
            DestroyWindow(window);
        }
        if (parent != nullptr) {
            DestroyWindow(parent);
        }
        MSG taken;
        while (PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    static std::array<GLint, 4> viewport() {
        std::array<GLint, 4> box{};
        glGetIntegerv(GL_VIEWPORT, box.data());
        return box;
    }

    HWND window = nullptr;
    HWND parent = nullptr;
};

TEST_F(SaverWindow, CreationMakesAContextWithTheAskedFormatAndAFixedProjection) {
    window = CreateWindowExA(0, test_class, "Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(wglGetCurrentContext(), nullptr);

    HDC dc = wglGetCurrentDC();
    PIXELFORMATDESCRIPTOR format{};
    ASSERT_NE(DescribePixelFormat(dc, GetPixelFormat(dc), sizeof format, &format), 0);
    EXPECT_EQ(format.dwFlags & (PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER),
              static_cast<DWORD>(PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(format.iPixelType, PFD_TYPE_RGBA);
    EXPECT_GE(format.cColorBits, 24);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 320, 240}));

    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    // Frames on any timer identifier; a size change afterwards reaches neither the viewport
    // nor the projection.
    SendMessageA(window, WM_TIMER, 77, 0);
    SetWindowPos(window, nullptr, 0, 0, 500, 100, SWP_NOZORDER | SWP_NOMOVE);
    SendMessageA(window, WM_TIMER, 1, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 320, 240}));
    GLdouble after[16];
    glGetDoublev(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(after[i], projection[i]) << i;
    }
    // The modelview matrix of the default view is back after the frame.
    GLdouble modelview[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_DOUBLE_EQ(modelview[14], -3.0 * 240);

    DestroyWindow(window);
    EXPECT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_FALSE(KillTimer(window, 1)) << "the render timer is gone with the window";
}

TEST_F(SaverWindow, ADisplayChangeFitsTheWindowToTheVirtualScreenFirst) {
    window = CreateWindowExA(0, test_class, "Screen Saver", WS_POPUP | WS_VISIBLE, 10, 10, 320, 240,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    SendMessageA(window, WM_DISPLAYCHANGE, 24, 0);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT placed{};
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, GetSystemMetrics(SM_XVIRTUALSCREEN));
    EXPECT_EQ(placed.top, GetSystemMetrics(SM_YVIRTUALSCREEN));
    EXPECT_EQ(placed.right - placed.left, width);
    EXPECT_EQ(placed.bottom - placed.top, height);
    // Laid out for the new size: one monitor here, so the whole window as one picture.
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, width, height}));
    SendMessageA(window, WM_TIMER, 1, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SaverWindow, ADpiChangeLeavesTheWindowWhereItIsAndTheLinesAtTheMonitorsDensity) {
    window = CreateWindowExA(0, test_class, "Screen Saver", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    RECT suggested{10, 20, 110, 90};
    SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    RECT kept{};
    GetWindowRect(window, &kept);
    EXPECT_EQ(kept.left, 0);
    EXPECT_EQ(kept.top, 0);
    EXPECT_EQ(kept.right, 320);
    EXPECT_EQ(kept.bottom, 240);

    // Laid out again at each monitor's own density, which wine keeps at 96 DPI whatever the
    // message says. Frames until the worker has planted a rose and a strip is drawn; 1 is
    // GL's own width.
    GLfloat width = 1.0f;
    for (int frame = 0; frame < 400 && width == 1.0f; ++frame) {
        SendMessageA(window, WM_TIMER, 1, 0);
        glGetFloatv(GL_LINE_WIDTH, &width);
        Sleep(25);
    }
    EXPECT_EQ(width, 2.0f);
}

TEST_F(SaverWindow, APreviewGetsItsParentsClientSize) {
    parent =
        CreateWindowExA(0, "RosesSaverWindowParent", "settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        50, 50, 300, 250, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    host.preview_child = true;
    window = CreateWindowExA(0, test_class, "Preview", WS_CHILD | WS_VISIBLE, 0, 0, 152, 112,
                             parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(viewport(), (std::array<GLint, 4>{0, 0, 152, 112}));
    SendMessageA(window, WM_TIMER, 1, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
} // namespace roses
