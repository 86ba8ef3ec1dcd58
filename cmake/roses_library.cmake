# roses_library(name [OBJECT|INTERFACE] source...) declares the library of one folder of src/:
# its sources, the include path that every folder shares (src/, so that an include names its
# folder: "garden/rose.h") and the project's warnings. A static library unless OBJECT says
# otherwise; INTERFACE for a folder of headers alone.
function(roses_library name)
  set(sources ${ARGN})
  set(kind STATIC)
  if(ARGV1 STREQUAL "OBJECT" OR ARGV1 STREQUAL "INTERFACE")
    set(kind ${ARGV1})
    list(REMOVE_AT sources 0)
  endif()
  if(kind STREQUAL "INTERFACE")
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    return()
  endif()
  add_library(${name} ${kind} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  roses_warnings(${name})
endfunction()
