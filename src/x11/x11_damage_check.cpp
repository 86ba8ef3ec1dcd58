#include "x11/x11_damage_check.h"

#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/gl_headers.h"

namespace roses {
namespace {

// The 8 bits of a pixel value that a TrueColor visual's mask selects.
unsigned channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    while ((mask & 1) == 0) {
        mask >>= 1;
        pixel >>= 1;
    }
    return static_cast<unsigned>((pixel & mask) * 255 / mask);
}

} // namespace

bool damage_check_wanted() {
    const char* check = std::getenv("ROSES_CHECK_DAMAGE");
    return check != nullptr && std::strcmp(check, "1") == 0;
}

void check_damage(x11_surface& surface, monitor_scenes& scenes, const multisample_buffer& samples,
                  double f) {
    const std::int32_t width = surface.width;
    const std::int32_t height = surface.height;
    XSync(surface.display, False);
    XImage* shown = XGetImage(surface.display, surface.window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (shown == nullptr) {
        return;
    }
    scenes.invalidate();
    scenes.draw(f, 0);
    samples.resolve();
    std::vector<std::uint8_t> whole(static_cast<std::size_t>(width) * height * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, whole.data());
    long long differ = 0;
    for (std::int32_t y = 0; y < height; ++y) {
        // GL's rows run bottom up, X's top down.
        const std::uint8_t* row = &whole[static_cast<std::size_t>(height - 1 - y) * width * 3];
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(shown, x, y);
            const std::uint8_t* drawn = row + static_cast<std::size_t>(x) * 3;
            differ += channel(pixel, shown->red_mask) != drawn[0] ||
                      channel(pixel, shown->green_mask) != drawn[1] ||
                      channel(pixel, shown->blue_mask) != drawn[2];
        }
    }
    XDestroyImage(shown);
    std::fprintf(stderr, "roses: damage check: %lld of %lld pixels differ\n", differ,
                 static_cast<long long>(width) * height);
}

} // namespace roses
