# Packs the art and the fonts into the game's datafile with Allegro's dat:
# 16 objects sorted by name, uncompressed, the tool's GrabberInfo last.
#   cmake -DDAT=dat -DART_DIR=dir -DOUT=file.dat -DARIAL=.. -DWHITE=.. -DWILLY=..
#     -DEPOCH=seconds -P pack.cmake
# The bitmaps are ART_DIR/B_*.bmp; dat names every object after its file,
# so each is renamed to the name the game's table lists.

set(fonts AF_ARIAL AF_WHITE AF_WILLY)
set(bitmaps B_BHO B_CELL B_CHOCO B_FLAG B_HAPPY B_HIGHSCORE B_INPUT B_ONCAN B_ONOK
  B_SAD B_SADT B_SLIDE)
# -c0 uncompressed, -n1 sorted by name, -s0 keeps the properties and the
# tool's own settings record.
set(options -c0 -n1 -s0)

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${ART_DIR}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}):\n${out}")
  endif()
endfunction()

file(REMOVE ${OUT})
configure_file(${ARIAL} ${ART_DIR}/AF_ARIAL.ttf COPYONLY)
configure_file(${WHITE} ${ART_DIR}/AF_WHITE.ttf COPYONLY)
configure_file(${WILLY} ${ART_DIR}/AF_WILLY.ttf COPYONLY)

set(font_files ${fonts})
list(TRANSFORM font_files APPEND .ttf)
run(${DAT} -a -t ALFO ${options} ${OUT} ${font_files})
set(bitmap_files ${bitmaps})
list(TRANSFORM bitmap_files APPEND .bmp)
run(${DAT} -a -t BMP -bpp 24 ${options} ${OUT} ${bitmap_files})

# dat records where each object came from as the absolute path it read and
# when as that file's time, which would tell every copy of the game the
# folder and the moment it was built in. Both are set again: the origin to
# the file's name in the art folder, the date to the build's time, written
# as dat writes it (UTC, "month-day-year, hour:minutes", only the day and
# the minutes padded).
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP date "%m-%d-%Y, %H:%M" UTC)
string(REGEX REPLACE "^0?([0-9]+)-([0-9]+-[0-9]+, )0?([0-9]+)" "\\1-\\2\\3" date "${date}")
foreach(name ${fonts})
  run(${DAT} ${options} ${OUT} ${name}_TTF NAME=${name} ORIG=${name}.ttf "DATE=${date}")
endforeach()
foreach(name ${bitmaps})
  run(${DAT} ${options} ${OUT} ${name}_BMP NAME=${name} ORIG=${name}.bmp "DATE=${date}")
endforeach()

# The list must read exactly as the game's object table.
execute_process(COMMAND ${DAT} -l ${OUT} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
string(REGEX MATCHALL "- (ALFO|BMP ) - ([A-Z_]+)" entries "${listing}")
string(REGEX REPLACE "- (ALFO|BMP ) - " "" names "${entries}")
if(NOT status EQUAL 0 OR NOT names STREQUAL "${fonts};${bitmaps}")
  message(FATAL_ERROR "unexpected datafile contents:\n${listing}")
endif()
