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

