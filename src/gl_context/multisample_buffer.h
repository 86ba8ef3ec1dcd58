// Smooth edges for a context whose own buffer has one sample a pixel: frames are drawn into a
// framebuffer object with several samples a pixel, and each is resolved into the context's
// own buffer before it is shown or read. Being made once the context exists, it lets the
// renderer that the context names decide how many samples, with no second context to learn
// it first; and a window that someone else made with a visual of their choosing
// (XScreenSaver's) is smoothed as well as our own.
#pragma once

#include <cstdint>
#include <vector>

#include "scene/frame_damage.h"

namespace roses {

class multisample_buffer {
  public:
    // Everything here needs the context current. Its objects go with the context, so there is
    // nothing to release before it is destroyed.

    // Asks for samples a pixel at width x height, then fewer, then none; from then on frames
    // are drawn there. With none asked for nothing changes: frames go straight to the
    // context's buffer, as they always have. Says once on standard error when it gets fewer
    // than asked (none where the driver has no multisampled framebuffers). A context whose own
    // buffer has samples already keeps its count (said when it is not the one asked for), or
    // draws with one a pixel where none is asked for.
    void create(std::int32_t samples, std::int32_t width, std::int32_t height);
    // The picture has a new size, and the buffer follows it: with as many samples as before,
    // or fewer where that takes too much memory, or none, after which frames go straight to
    // the context's buffer.
    void resize(std::int32_t width, std::int32_t height);
    // Resolves the frame just drawn into the context's own buffer, which the swap shows and
    // glReadPixels reads; the next frame is drawn with the samples again.
    void resolve() const;
    // Resolves only these boxes, for a context's buffer that keeps the frame resolved before
    // (one whose frames are copied out a box at a time).
    void resolve(const std::vector<pixel_box>& boxes) const;
    // Whether frames are drawn with samples: their buffer then keeps each frame until the
    // next, whatever becomes of the context's own.
    bool active() const { return framebuffer != 0; }

  private:
    void allocate(std::int32_t width, std::int32_t height);

    std::int32_t asked = 0;
    // No more than asked, and no more than the driver says it has.
    std::int32_t most_offered = 0;
    unsigned format = 0;
    unsigned framebuffer = 0;
    unsigned colour = 0;
    std::int32_t buffer_width = 0;
    std::int32_t buffer_height = 0;
};

} // namespace roses
