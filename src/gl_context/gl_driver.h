// What the Linux program keeps until it ends, and asks of Mesa before it draws.
#pragma once

namespace roses {

// Keeps a display connection reachable until the process ends. Closing a connection unloads
// the GL driver on it, which leaves allocations behind that nothing can free and no leak
// checker can name; exiting closes it just the same.
void keep_until_exit(const void* connection);

// Asks Mesa's software rasteriser to draw on the thread that calls GL rather than on a pool of
// its own, unless the user has said otherwise (LP_NUM_THREADS). A frame of ours clears and
// draws a few lines in a box: waking the pool's threads for it costs more than they save.
// Before the first GL call; drivers that draw on a GPU never read it.
void draw_on_calling_thread();

} // namespace roses
