// The generated layer-shell protocol for C++: one of its requests names a parameter
// "namespace", a C++ keyword, so the word is renamed while the header is read.
#pragma once

#include <wayland-client.h>

#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
