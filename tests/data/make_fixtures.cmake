# cmake -DDAT=dat -DGOOD=file.dat -DART_DIR=dir -DDIR=out -P make_fixtures.cmake
function(dat)
  execute_process(COMMAND ${DAT} -c0 -n1 -s0 ${ARGN} WORKING_DIRECTORY ${DIR}
    RESULT_VARIABLE status OUTPUT_QUIET)
  if(status)
    message(FATAL_ERROR "dat ${ARGN} failed: ${status}")
  endif()
endfunction()

foreach(name no_flag small_cell bad_font)
  configure_file(${GOOD} ${DIR}/${name}.dat COPYONLY)
endforeach()
dat(-d no_flag.dat B_FLAG)

configure_file(${ART_DIR}/B_SADT.bmp ${DIR}/B_CELL.bmp COPYONLY)
dat(-d small_cell.dat B_CELL)
dat(-a -t BMP -bpp 24 small_cell.dat B_CELL.bmp)
dat(small_cell.dat B_CELL_BMP NAME=B_CELL)

# Named without an extension, the file becomes the object AF_WILLY.
file(WRITE ${DIR}/AF_WILLY "This is a note, not a TrueType font.\n")
dat(-d bad_font.dat AF_WILLY)
dat(-a -t ALFO bad_font.dat AF_WILLY)
