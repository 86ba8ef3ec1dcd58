# A native build links the GoogleTest that Debian's libgtest-dev ships, already compiled: the
# runner's one large source would otherwise be compiled again in every tree (12 s, 22 s under
# AddressSanitizer), and no test looks for a fault in the runner. Its code is not instrumented,
# which no sanitizer needs: they watch our code, and the runner only calls it. A cross build
# compiles the same sources that package ships, with the target's compiler.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest CONFIG QUIET)
endif()
if(NOT GTest_FOUND)
  set(ROSES_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${ROSES_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_gtest EXCLUDE_FROM_ALL SYSTEM)
  # Third-party code: its warnings are not ours to fix. Nor its speed: unoptimised and without
  # debug information, its one large source compiles several times faster (19 s against 161 s
  # under AddressSanitizer), and no test spends its time in the runner.
  target_compile_options(gtest PRIVATE -w -O0 -g0)
  target_compile_options(gtest_main PRIVATE -w -O0 -g0)
endif()

# roses_quick_test_sources(source...): a test's own sources (those named relative to its folder)
# are compiled with -Og, whatever the preset's optimisation: their cases call into the code
# under test, which keeps the preset's flags and its sanitizers, and the expansions of
# GoogleTest's macros take three times as long to optimise fully (run_test.cpp: 24 s against
# 9 s under AddressSanitizer). -Og rather than -O0 keeps the fortified C library working, which
# needs an optimising build. Not in a cross build: under an emulator the tests' own loops over
# pixels and candidates cost more than their compilation saves (the Arm renderer test took 160 s
# rather than 70), and mingw-w64's -Og build of the random test faulted under wine.
function(roses_quick_test_sources)
  if(CMAKE_CROSSCOMPILING)
    return()
  endif()
  foreach(source IN LISTS ARGN)
    if(NOT IS_ABSOLUTE ${source})
      set_property(SOURCE ${source} APPEND PROPERTY COMPILE_OPTIONS -Og)
    endif()
  endforeach()
endfunction()

# roses_add_test(name [CONCURRENT] [SHARDS n] [FILTER pattern] source...) builds one test
# program and registers it with ctest; under the Windows preset ctest runs it through the
# emulator (wine). With SHARDS its cases are split among n ctest tests, name_1 to name_n, that
# ctest may run side by side; FILTER runs only the cases that a GoogleTest filter names.
# CONCURRENT says that its cases run our code on more than one thread, or in a signal handler:
# only such a test can show ThreadSanitizer anything, so its build makes every other only when
# asked for by name, and runs none.
function(roses_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "CONCURRENT" "SHARDS;FILTER" "")
  set(unwatched)
  if(ROSES_THREAD_SANITIZER AND NOT arg_CONCURRENT)
    set(unwatched EXCLUDE_FROM_ALL)
  endif()
  add_executable(${name} ${unwatched} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  roses_warnings(${name})
  roses_quick_test_sources(${arg_UNPARSED_ARGUMENTS})
  if(unwatched)
    return()
  endif()
  set(filter)
  if(arg_FILTER)
    set(filter --gtest_filter=${arg_FILTER})
  endif()
  if(NOT arg_SHARDS)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=0 ${filter})
    return()
  endif()
  foreach(shard RANGE 1 ${arg_SHARDS})
    math(EXPR index "${shard} - 1")
    add_test(NAME ${name}_${shard} COMMAND ${name} --gtest_brief=0)
    set_tests_properties(${name}_${shard} PROPERTIES ENVIRONMENT
                         "GTEST_TOTAL_SHARDS=${arg_SHARDS};GTEST_SHARD_INDEX=${index}")
  endforeach()
endfunction()
