# The Windows program: the bare program with its icon (statically linked by
# the toolchain, so that it needs only the DLLs every Windows has), stripped,
# and then the very datafile of the Linux build attached with exedat, so
# that it is one file.
# DENTIVALE_HOST_BUILD is that Linux build folder: its data/ holds the
# datafile and the icon images drawn by the art generator.
set(DENTIVALE_HOST_BUILD "" CACHE PATH "Linux build folder that provides the datafile and icons")
if(NOT EXISTS "${DENTIVALE_HOST_BUILD}/data/dentivale.dat")
  message(FATAL_ERROR "DENTIVALE_HOST_BUILD must name a built Linux build folder (./dev.sh windows sets it)")
endif()
find_program(EXEDAT_TOOL exedat NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(CONVERT_TOOL convert NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_program(STRIP_TOOL ${MINGW_TRIPLE}-strip REQUIRED)
find_program(PYTHON3_TOOL python3 HINTS /usr/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)

set(host_data ${DENTIVALE_HOST_BUILD}/data)
set(icon_sizes 16 32 48 64)
set(icon_images ${icon_sizes})
list(TRANSFORM icon_images PREPEND ${host_data}/icons/dentivale-)
list(TRANSFORM icon_images APPEND .png)
set(ICON_FILE ${CMAKE_CURRENT_BINARY_DIR}/dentivale.ico)
add_custom_command(OUTPUT ${ICON_FILE}
  COMMAND ${CONVERT_TOOL} ${icon_images} ${ICON_FILE}
  DEPENDS ${icon_images}
  COMMENT "The icon: ${icon_sizes} pixels")
# The program is defined in src/, which cannot see this folder's commands:
# a target carries the order, OBJECT_DEPENDS the rebuild.
add_custom_target(dentivale_icon DEPENDS ${ICON_FILE})
configure_file(dentivale.rc.in ${CMAKE_CURRENT_BINARY_DIR}/dentivale.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/dentivale.rc PROPERTIES OBJECT_DEPENDS ${ICON_FILE})

target_sources(dentivale_bare PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/dentivale.rc)
add_dependencies(dentivale_bare dentivale_icon)
set_target_properties(dentivale_bare PROPERTIES WIN32_EXECUTABLE ON)
# The header carries the build's time: a new one links again.
set_property(TARGET dentivale_bare APPEND PROPERTY LINK_DEPENDS ${DENTIVALE_EPOCH_FILE})

set(game ${PROJECT_BINARY_DIR}/dentivale.exe)
# strip writes the header's time again.
dv_attach_data(${game} ${host_data}/dentivale.dat STRIP ${DENTIVALE_WITH_EPOCH} ${STRIP_TOOL})
add_custom_target(dentivale_game ALL DEPENDS ${game})

# The download for Windows players, of the 32-bit program that ships:
# the program, a README, the game's notice, and for each font the copyright
# and licence from the Debian package it was copied from.
if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
  return()
endif()
set(zip dentivale-${PROJECT_VERSION}-win32.zip)
configure_file(windows-readme.txt.in README.txt @ONLY)
set(members dentivale.exe=${game} README.txt=${CMAKE_CURRENT_BINARY_DIR}/README.txt
  COPYRIGHT.txt=${CMAKE_CURRENT_SOURCE_DIR}/windows-copyright.txt)
set(notices "")
foreach(slot ARIAL WHITE WILLY)
  get_filename_component(font ${DENTIVALE_FONT_${slot}} NAME_WE)
  set(notice ${DENTIVALE_DOC_DIR}/${font_package_${slot}}/copyright)
  list(APPEND members licences/${font}.txt=notice:${notice})
  list(APPEND notices ${notice})
endforeach()
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${zip}
  COMMAND ${PYTHON3_TOOL} ${PROJECT_SOURCE_DIR}/tools/windows_zip.py ${PROJECT_BINARY_DIR}/${zip}
    ${DENTIVALE_EPOCH} ${members}
  DEPENDS ${game} ${CMAKE_CURRENT_BINARY_DIR}/README.txt windows-copyright.txt ${notices}
    ${PROJECT_SOURCE_DIR}/tools/windows_zip.py ${DENTIVALE_EPOCH_FILE}
  COMMENT "The Windows download: ${zip}")
add_custom_target(dentivale_zip ALL DEPENDS ${PROJECT_BINARY_DIR}/${zip})
add_dependencies(dentivale_zip dentivale_game)
