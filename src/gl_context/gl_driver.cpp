#include "gl_context/gl_driver.h"

#include <cstdlib>

namespace roses {
namespace {

// Written and never read: it keeps the last connection handed over reachable.
const void* volatile lasting_connection = nullptr;

} // namespace

void keep_until_exit(const void* connection) {
    lasting_connection = connection;
}

void draw_on_calling_thread() {
    setenv("LP_NUM_THREADS", "0", 0);
}

} // namespace roses
