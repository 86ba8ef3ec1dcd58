# GoogleTest is built from the sources Debian's googletest package ships, so the native,
# sanitizer and Windows builds all use a runner compiled with their own flags.
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

# roses_add_test(name [SHARDS n] [FILTER pattern] source...) builds one test program and
# registers it with ctest; under the Windows preset ctest runs it through the emulator (wine).
# With SHARDS its cases are split among n ctest tests, name_1 to name_n, that ctest may run side
# by side; FILTER runs only the cases that a GoogleTest filter names.
function(roses_add_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SHARDS;FILTER" "")
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE GTest::gtest_main)
  roses_warnings(${name})
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
