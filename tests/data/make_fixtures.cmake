# Flawed copies of a good datafile, for the loader's refusals:
#   no_flag.dat     B_FLAG deleted, so every later object moves up one
#   small_cell.dat  B_CELL replaced by a 17 x 21 picture
#   bad_font.dat    AF_WILLY replaced by bytes that are no font
#   cmake -DDAT=dat -DGOOD=file.dat -DART_DIR=dir -DDIR=out -P make_fixtures.cmake
set(options -c0 -n1 -s0)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}")
  endif()
endfunction()

file(MAKE_DIRECTORY ${DIR})

configure_file(${GOOD} ${DIR}/no_flag.dat COPYONLY)
run(${DAT} -d ${options} no_flag.dat B_FLAG)

configure_file(${GOOD} ${DIR}/small_cell.dat COPYONLY)
configure_file(${ART_DIR}/B_SADT.bmp ${DIR}/B_CELL.bmp COPYONLY)
run(${DAT} -d ${options} small_cell.dat B_CELL)
run(${DAT} -a -t BMP -bpp 24 ${options} small_cell.dat B_CELL.bmp)
run(${DAT} ${options} small_cell.dat B_CELL_BMP NAME=B_CELL)

configure_file(${GOOD} ${DIR}/bad_font.dat COPYONLY)
file(WRITE ${DIR}/AF_WILLY.ttf "This is a note, not a TrueType font.\n")
run(${DAT} -d ${options} bad_font.dat AF_WILLY)
run(${DAT} -a -t ALFO ${options} bad_font.dat AF_WILLY.ttf)
run(${DAT} ${options} bad_font.dat AF_WILLY_TTF NAME=AF_WILLY)
