# The web build: Debian's emscripten compiles the core to WebAssembly. Its own platform file
# does the work; this one only finds it where the package puts it.
set(ROSES_EMSCRIPTEN_ROOT "/usr/share/emscripten" CACHE PATH "Where emscripten is installed")
include("${ROSES_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake")

# Its C++ library predates std::bit_cast, which the core uses.
set(CMAKE_CXX_FLAGS_INIT "-include ${CMAKE_CURRENT_LIST_DIR}/../src/web/std_bit_cast.h")
