# PortMidi's Windows back end, built from Debian's portmidi source package in
# the build tree (Debian ships no Windows binary). apt-get needs a deb-src
# entry; scripts/setup.sh --windows adds one.
#
# Release 217 declares its multimedia callbacks with 32-bit DWORD parameters
# where 64-bit Windows passes pointer-sized ones: the pointer to the stream's
# state would be cut to 32 bits. The work copy widens them to DWORD_PTR (and
# the message to UINT) before it is built.
set(PORTMIDI_WORK ${CMAKE_BINARY_DIR}/portmidi-source)
set(PORTMIDI_SOURCE ${PORTMIDI_WORK}/portmidi)

if(NOT EXISTS ${PORTMIDI_SOURCE}/pm_win/pmwinmm.c)
  file(MAKE_DIRECTORY ${PORTMIDI_WORK})
  execute_process(COMMAND apt-get source --tar-only portmidi
                  WORKING_DIRECTORY ${PORTMIDI_WORK} RESULT_VARIABLE fetched
                  OUTPUT_QUIET ERROR_VARIABLE fetchErrors)
  file(GLOB tarball ${PORTMIDI_WORK}/portmidi_*.orig.tar.*)
  if(NOT fetched EQUAL 0 OR NOT tarball)
    message(FATAL_ERROR "Could not fetch Debian's portmidi source (is there a deb-src entry? "
                        "scripts/setup.sh --windows adds one):\n${fetchErrors}")
  endif()
  file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${PORTMIDI_WORK})
  file(READ ${PORTMIDI_SOURCE}/pm_win/pmwinmm.c callbacks)
  string(REGEX REPLACE "DWORD (dwInstance|dwParam1|dwParam2)" "DWORD_PTR \\1" callbacks "${callbacks}")
  string(REPLACE "WORD wMsg" "UINT wMsg" callbacks "${callbacks}")
  file(WRITE ${PORTMIDI_SOURCE}/pm_win/pmwinmm.c "${callbacks}")
endif()

add_library(portmidi_windows STATIC
  ${PORTMIDI_SOURCE}/pm_common/portmidi.c
  ${PORTMIDI_SOURCE}/pm_common/pmutil.c
  ${PORTMIDI_SOURCE}/pm_win/pmwin.c
  ${PORTMIDI_SOURCE}/pm_win/pmwinmm.c
  ${PORTMIDI_SOURCE}/porttime/ptwinmm.c)
target_include_directories(portmidi_windows PUBLIC
  ${PORTMIDI_SOURCE}/pm_common ${PORTMIDI_SOURCE}/porttime)
target_link_libraries(portmidi_windows PUBLIC winmm advapi32)
# Not our code: build it as its authors do, without our warnings.
set_target_properties(portmidi_windows PROPERTIES COMPILE_WARNING_AS_ERROR OFF)
target_compile_options(portmidi_windows PRIVATE -w)
set(PORTMIDI_INCLUDE_DIR ${PORTMIDI_SOURCE}/pm_common ${PORTMIDI_SOURCE}/porttime)
