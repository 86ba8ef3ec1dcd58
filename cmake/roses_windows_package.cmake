# The Windows release artefacts, built beside roses.scr in <build>/packages/: the NSIS
# installer (when Debian's nsis is installed) and a zip with the saver, a short README.txt
# and the licence. tools/package collects them into build/packages/.
set(roses_package_dir ${CMAKE_BINARY_DIR}/packages)
set(roses_package_stem roses-${PROJECT_VERSION}-win64)
set(roses_package_staging ${CMAKE_BINARY_DIR}/package-staging)

# Windows users open the text files in Notepad: give them Windows line ends.
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/README.txt
               ${roses_package_staging}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${roses_package_staging}/LICENSE.txt @ONLY
               NEWLINE_STYLE CRLF)

set(roses_zip ${roses_package_dir}/${roses_package_stem}.zip)
add_custom_command(
  OUTPUT ${roses_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${roses_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:roses_scr> ${roses_package_staging}/roses.scr
  COMMAND ${CMAKE_COMMAND} -E remove -f ${roses_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${roses_zip} --format=zip roses.scr README.txt LICENSE.txt
  WORKING_DIRECTORY ${roses_package_staging}
  DEPENDS roses_scr ${roses_package_staging}/README.txt ${roses_package_staging}/LICENSE.txt
  COMMENT "Packing ${roses_package_stem}.zip"
  VERBATIM)
add_custom_target(roses_zip ALL DEPENDS ${roses_zip})

find_program(ROSES_MAKENSIS makensis)
if(NOT ROSES_MAKENSIS)
  message(STATUS "makensis not found (Debian package nsis): no Windows installer")
  return()
endif()
# Cached, so that the installer test (in another folder's scope) can build a newer version.
set(ROSES_NSIS_SCRIPT ${PROJECT_SOURCE_DIR}/packaging/windows/roses.nsi CACHE INTERNAL "")
set(ROSES_INSTALLER ${roses_package_dir}/${roses_package_stem}-setup.exe CACHE INTERNAL "")
# makensis changes into the script's folder, so every path it is given is absolute; -WX makes
# its warnings (a section used before it is defined, say) errors.
set(ROSES_NSIS_DEFINES -DSCR=$<TARGET_FILE:roses_scr>
    -DLICENSE=${roses_package_staging}/LICENSE.txt
    -DICON=${PROJECT_SOURCE_DIR}/src/win32/roses.ico CACHE INTERNAL "")
add_custom_command(
  OUTPUT ${ROSES_INSTALLER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${roses_package_dir}
  COMMAND ${ROSES_MAKENSIS} -WX -V2 -DVERSION=${PROJECT_VERSION} ${ROSES_NSIS_DEFINES}
          -DOUTFILE=${ROSES_INSTALLER} ${ROSES_NSIS_SCRIPT}
  DEPENDS roses_scr ${ROSES_NSIS_SCRIPT} ${roses_package_staging}/LICENSE.txt
          ${PROJECT_SOURCE_DIR}/src/win32/roses.ico
  COMMENT "Building ${roses_package_stem}-setup.exe"
  VERBATIM)
add_custom_target(roses_installer ALL DEPENDS ${ROSES_INSTALLER})
