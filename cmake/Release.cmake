# What every target of a build shares so that the files that ship are the
# same bytes for the same sources, wherever and whenever they are built, and
# hardened as the platform allows.

# DENTIVALE_EPOCH: the one moment, in seconds since 1970, that the build
# writes wherever a time goes (the datafile's dates, the Windows program's
# header, the package's and the zip's file times). SOURCE_DATE_EPOCH when it
# is set, as every reproducible build understands it; otherwise the time of
# the last commit; in sources without their git history (an unpacked
# tarball) the release's own time, set with the version. Read when CMake
# configures: a new commit configures again (below), a changed
# SOURCE_DATE_EPOCH needs a new configure.
set(dv_epoch_from "SOURCE_DATE_EPOCH")
set(DENTIVALE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
if(DENTIVALE_EPOCH STREQUAL "")
  execute_process(COMMAND git rev-parse --show-toplevel --git-path HEAD --git-path logs/HEAD
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE git_paths RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" git_paths "${git_paths}")
  list(POP_FRONT git_paths git_top)
  # Only this project's own history: a tarball unpacked inside another
  # repository is still a tarball.
  if(status EQUAL 0 AND git_top)
    get_filename_component(git_top "${git_top}" REALPATH)
    get_filename_component(source_top "${PROJECT_SOURCE_DIR}" REALPATH)
  endif()
  if(status EQUAL 0 AND git_top STREQUAL source_top)
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      OUTPUT_VARIABLE DENTIVALE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    set(dv_epoch_from "the last commit")
    # HEAD names the branch, its log grows with every commit, amend or
    # checkout: either changing makes the next build configure again.
    foreach(path ${git_paths})
      get_filename_component(path "${path}" ABSOLUTE BASE_DIR ${PROJECT_SOURCE_DIR})
      if(EXISTS "${path}")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${path}")
      endif()
    endforeach()
  else()
    execute_process(COMMAND date -u -d "${DENTIVALE_RELEASE_TIME}" +%s
      OUTPUT_VARIABLE DENTIVALE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE)
    set(dv_epoch_from "the release's time (no git history)")
  endif()
endif()
if(NOT DENTIVALE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "The build's time from ${dv_epoch_from} is not a number of seconds: '${DENTIVALE_EPOCH}'")
endif()
message(STATUS "Times written by the build: ${DENTIVALE_EPOCH}, from ${dv_epoch_from}")
# What writes the time depends on this file, rewritten only when the time
# changes, so that a new commit does not leave the old time in what an
# incremental build does not otherwise redo.
set(DENTIVALE_EPOCH_FILE ${PROJECT_BINARY_DIR}/epoch)
file(CONFIGURE OUTPUT ${DENTIVALE_EPOCH_FILE} CONTENT "${DENTIVALE_EPOCH}\n")

# Paths in debugging information and in __FILE__ as seen from the source
# folder, whatever folders the build ran in. The last match wins, so a build
# folder inside the source folder still reads as "build".
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=. -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)

if(WIN32)
  # ASLR and DEP, said rather than left to the linker's defaults, which
  # changed over the years; 64-bit programs can use all of their address
  # space for it. Allegro is built without its assembler (it generates no
  # code at run time), so DEP costs it nothing.
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  endif()
  # The linker and strip write SOURCE_DATE_EPOCH, when set, as the program
  # header's time, else the time they run. strip writes the header of what
  # ships (data/windows.cmake); the launchers (CMake 3.21 on) keep the
  # linked programs, tests included, from carrying the time of the link.
  set(DENTIVALE_WITH_EPOCH ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${DENTIVALE_EPOCH})
  set(CMAKE_C_LINKER_LAUNCHER ${DENTIVALE_WITH_EPOCH})
  set(CMAKE_CXX_LINKER_LAUNCHER ${DENTIVALE_WITH_EPOCH})
  return()
endif()

# Debian's hardening flags, as dpkg-buildflags gives them with every feature
# on: the stack protector, fortified string and memory functions, format
# checks, full RELRO and binding at start (PIE is the compiler's default).
# Optimisation and debugging information stay the build type's, and the
# path mapping above replaces Debian's, which maps only the folder
# dpkg-buildflags runs in.
# Fortified calls go around the sanitizers' interceptors and want
# optimisation, and the stack protector only duplicates AddressSanitizer's
# own checks: the sanitizer and Debug builds leave those out.
set(hardening "+all")
if(DENTIVALE_SANITIZE)
  string(APPEND hardening ",-fortify,-stackprotector")
elseif(CMAKE_BUILD_TYPE STREQUAL "Debug")
  string(APPEND hardening ",-fortify")
endif()
function(dv_buildflags variable flag)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=hardening=${hardening} reproducible=-fixfilepath,-fixdebugpath"
      "DEB_${flag}_MAINT_STRIP=-g -O2" ${DPKG_BUILDFLAGS_TOOL} --get ${flag}
    OUTPUT_VARIABLE flags RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-buildflags --get ${flag} failed")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${variable} ${flags} PARENT_SCOPE)
endfunction()
dv_buildflags(cppflags CPPFLAGS)
dv_buildflags(cflags CFLAGS)
dv_buildflags(cxxflags CXXFLAGS)
dv_buildflags(ldflags LDFLAGS)
add_compile_options(${cppflags} "$<$<COMPILE_LANGUAGE:C>:${cflags}>" "$<$<COMPILE_LANGUAGE:CXX>:${cxxflags}>")
add_link_options(${ldflags})
set(shown ${cppflags} ${cxxflags} ${ldflags})
list(JOIN shown " " shown)
message(STATUS "Hardening (dpkg-buildflags, hardening=${hardening}): ${shown}")
