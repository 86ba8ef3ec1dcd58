# GoogleTest is built from the sources Debian's googletest package ships, so the native,
# sanitizer and Windows builds all use a runner compiled with their own flags.
set(ROSES_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ROSES_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL SYSTEM)
# Third-party code: its warnings are not ours to fix.
target_compile_options(gtest PRIVATE -w)
target_compile_options(gtest_main PRIVATE -w)

# roses_add_test(name source...) builds one test program and registers it with ctest; under
# the Windows preset ctest runs it through the emulator (wine).
function(roses_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  roses_warnings(${name})
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=0)
endfunction()
