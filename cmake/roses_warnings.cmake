# Warnings apply to the project's own targets only, not to the third-party sources we build.
function(roses_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
