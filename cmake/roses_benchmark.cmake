# Google Benchmark: Debian's library natively; for the Windows and web builds, the sources of
# Debian's benchmark source package, which tools/setup unpacks into build/_deps.
if(WIN32 OR EMSCRIPTEN)
  set(ROSES_BENCHMARK_SOURCE_DIR "${CMAKE_SOURCE_DIR}/build/_deps/benchmark"
      CACHE PATH "Google Benchmark sources for the cross build")
  if(EXISTS "${ROSES_BENCHMARK_SOURCE_DIR}/CMakeLists.txt")
    set(BENCHMARK_ENABLE_TESTING OFF CACHE BOOL "" FORCE)
    set(BENCHMARK_ENABLE_GTEST_TESTS OFF CACHE BOOL "" FORCE)
    set(BENCHMARK_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
    set(BENCHMARK_ENABLE_WERROR OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ROSES_BENCHMARK_SOURCE_DIR} ${CMAKE_BINARY_DIR}/_benchmark
                     EXCLUDE_FROM_ALL SYSTEM)
  else()
    message(STATUS "Google Benchmark sources not found; the Windows benchmarks are skipped")
  endif()
else()
  find_package(benchmark QUIET)
endif()
