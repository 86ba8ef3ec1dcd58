# Cross build for 64-bit Arm Linux with Debian's cross compiler and the arm64 multiarch
# libraries (dpkg --add-architecture arm64). ctest runs the programs under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
# The arm64 libraries live beside the build machine's own under /usr, told apart only by
# their multiarch folder, which CMAKE_LIBRARY_ARCHITECTURE selects.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
# No -L for qemu: the arm64 multiarch loader and libc are found through the program's own
# interpreter path; pointing qemu at the cross toolchain's copy mixes two C libraries, and
# a contended mutex then spins forever.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
