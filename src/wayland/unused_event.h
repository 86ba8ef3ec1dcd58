// Wayland's listener tables want a function in every slot, also for the events this host has
// no use for.
#pragma once

namespace roses {

template <typename... Args> void ignore(void*, Args...) {}

} // namespace roses
