# Small helpers shared by the module, test and benchmark folders.

# dv_attach_data(PROGRAM DATAFILE [STRIP strip command...]): PROGRAM made
# from the bare program with DATAFILE attached by exedat, so that the game
# is one file. With STRIP the copy is stripped first: strip after exedat
# would cut the data off again. exedat appends in place, so the work is done
# on a copy that is renamed when whole.
function(dv_attach_data program datafile)
  cmake_parse_arguments(ARG "" "" "STRIP" ${ARGN})
  set(part ${program}.part)
  if(ARG_STRIP)
    set(copy ${ARG_STRIP} -o ${part} $<TARGET_FILE:dentivale_bare>)
  else()
    set(copy ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dentivale_bare> ${part})
  endif()
  get_filename_component(folder ${program} DIRECTORY)
  file(RELATIVE_PATH name ${PROJECT_BINARY_DIR} ${program})
  add_custom_command(OUTPUT ${program}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${copy}
    COMMAND ${EXEDAT_TOOL} -a ${part} ${datafile} > /dev/null
    COMMAND ${CMAKE_COMMAND} -E rename ${part} ${program}
    DEPENDS dentivale_bare ${datafile}
    COMMENT "Attaching the datafile: ${name}")
endfunction()

# dv_library(NAME SOURCES... [LIBS libs...])
function(dv_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LIBS})
endfunction()

# dv_test(NAME SOURCES... [LIBS libs...] [LABEL label]): one GoogleTest
# executable, each of its tests registered with ctest under the label "unit",
# or "e2e" for tests that need the X display the test command starts.
function(dv_test name)
  cmake_parse_arguments(ARG "" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  # Tests on the X display share its one pointer: they take turns.
  set(lock_e2e RESOURCE_LOCK x_display)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} dv_test_support GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # Run elsewhere: the Linux build runs the Windows ones under Wine.
    set_property(GLOBAL APPEND PROPERTY DV_UNIT_TESTS ${name})
    return()
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${ARG_LABEL} TIMEOUT 120 ${lock_${ARG_LABEL}}
    DISCOVERY_TIMEOUT 30)
endfunction()

# dv_e2e_test(NAME SCRIPT): a Python script that drives the real window; it
# needs DISPLAY (the test command starts an Xvfb) and is labelled "e2e". It
# runs alone: the game paces itself by the clock, and a script that measures
# how soon it answers should not measure a compiler or Wine beside it.
function(dv_e2e_test name script)
  add_test(NAME ${name}
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/${script}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  set_tests_properties(${name} PROPERTIES
    LABELS e2e
    RUN_SERIAL ON
    TIMEOUT 180
    ENVIRONMENT "DENTIVALE_GAME=${PROJECT_BINARY_DIR}/dentivale;DENTIVALE_FIXED_RAND=${PROJECT_BINARY_DIR}/tests/e2e/libdv_fixed_rand.so;DENTIVALE_DATA=${PROJECT_BINARY_DIR}/data/dentivale.dat;PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/e2e")
endfunction()

# dv_benchmark(NAME SOURCES... [LIBS libs...])
function(dv_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
endfunction()
