# roses_library(name [OBJECT] source...) declares the library of one folder of src/: its
# sources, the include path that every folder shares (src/, so that an include names its
# folder: "garden/rose.h") and the project's warnings. A static library unless OBJECT says
# otherwise.
function(roses_library name)
  set(sources ${ARGN})
  set(kind STATIC)
  if(ARGV1 STREQUAL "OBJECT")
    set(kind OBJECT)
    list(REMOVE_AT sources 0)
  endif()
  add_library(${name} ${kind} ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  roses_warnings(${name})
endfunction()
