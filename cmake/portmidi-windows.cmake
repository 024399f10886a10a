# PortMidi's Windows back end, built from Debian's portmidi source package in
# the build tree (Debian ships no Windows binary). apt-get needs a deb-src
# entry; scripts/setup.sh --windows adds one. The work copy is mended by
# portmidi-217-win64.patch before it is built:
# - release 217 declares its multimedia callbacks with 32-bit DWORD
#   parameters where 64-bit Windows passes pointer-sized ones (DWORD_PTR),
#   and the message as WORD where it is a UINT: the pointer to the stream's
#   state would be cut to 32 bits;
# - it points the library's uint32_t sysex fill counter at the header's DWORD
#   byte count. Both are 32 bits on 64-bit Windows (DWORD is unsigned long,
#   32 bits there), so a cast is right; GCC 14 refuses the assignment without
#   it. The library is built with -fno-strict-aliasing, as the two types are
#   distinct to the compiler.
set(PORTMIDI_WORK ${CMAKE_BINARY_DIR}/portmidi-source)
set(PORTMIDI_SOURCE ${PORTMIDI_WORK}/portmidi)
set(PORTMIDI_PATCH ${CMAKE_CURRENT_LIST_DIR}/portmidi-217-win64.patch)

if(NOT EXISTS ${PORTMIDI_WORK}/patched)
  find_program(PATCH_COMMAND patch REQUIRED)
  file(REMOVE_RECURSE ${PORTMIDI_WORK})
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
  execute_process(COMMAND ${PATCH_COMMAND} -p1 --forward --input ${PORTMIDI_PATCH}
                  WORKING_DIRECTORY ${PORTMIDI_WORK} RESULT_VARIABLE patched
                  OUTPUT_VARIABLE patchOutput ERROR_VARIABLE patchOutput)
  if(NOT patched EQUAL 0)
    message(FATAL_ERROR "portmidi-217-win64.patch does not apply:\n${patchOutput}")
  endif()
  file(TOUCH ${PORTMIDI_WORK}/patched)
endif()

add_library(portmidi_windows STATIC
  ${PORTMIDI_SOURCE}/pm_common/portmidi.c
  ${PORTMIDI_SOURCE}/pm_common/pmutil.c
  ${PORTMIDI_SOURCE}/pm_win/pmwin.c
  ${PORTMIDI_SOURCE}/pm_win/pmwinmm.c
  ${PORTMIDI_SOURCE}/porttime/ptwinmm.c)
target_link_libraries(portmidi_windows PUBLIC winmm advapi32)
# Not our code: built without our warnings, but with the errors of GCC 14 on
# every compiler, so that what one Debian release accepts, all do. Its casts
# between small device numbers and pointers are harmless.
set_target_properties(portmidi_windows PROPERTIES COMPILE_WARNING_AS_ERROR OFF COMPILE_OPTIONS "")
target_compile_options(portmidi_windows PRIVATE
  -fno-strict-aliasing -Wno-int-to-pointer-cast -Wno-pointer-to-int-cast
  -Werror=incompatible-pointer-types -Werror=implicit-function-declaration
  -Werror=int-conversion -Werror=implicit-int)

# The same two targets as on Linux (find-portmidi.cmake).
add_library(portmidi_headers INTERFACE)
target_include_directories(portmidi_headers SYSTEM INTERFACE
  ${PORTMIDI_SOURCE}/pm_common ${PORTMIDI_SOURCE}/porttime)
target_link_libraries(portmidi_windows PUBLIC portmidi_headers)
add_library(portmidi_library ALIAS portmidi_windows)
