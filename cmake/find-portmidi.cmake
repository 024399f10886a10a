# PortMidi as the system has it, as two targets: portmidi_headers (the
# headers alone, for the test double) and portmidi_library (headers and
# libraries, for the real programs). Release 2 installs a CMake package and a
# pkg-config file; release 217 (Debian bookworm and trixie) installs neither,
# and has its clock, PortTime, in a library of its own. The headers count as
# system headers: release 2's portmidi.h is not clean under -Wpedantic in C++.
add_library(portmidi_headers INTERFACE)
add_library(portmidi_library INTERFACE)

find_package(PortMidi CONFIG QUIET)
if(NOT TARGET PortMidi::portmidi)
  pkg_check_modules(PORTMIDI QUIET IMPORTED_TARGET portmidi)
endif()

if(TARGET PortMidi::portmidi)
  get_target_property(PORTMIDI_INCLUDE_DIRS PortMidi::portmidi INTERFACE_INCLUDE_DIRECTORIES)
  target_link_libraries(portmidi_library INTERFACE PortMidi::portmidi)
  set(PORTMIDI_FOUND_BY "its CMake package")
elseif(TARGET PkgConfig::PORTMIDI)
  target_link_libraries(portmidi_library INTERFACE PkgConfig::PORTMIDI)
  set(PORTMIDI_FOUND_BY "pkg-config")
else()
  find_path(PORTMIDI_INCLUDE_DIRS portmidi.h REQUIRED)
  find_library(PORTMIDI_LIBRARY portmidi REQUIRED)
  find_library(PORTTIME_LIBRARY porttime)
  target_link_libraries(portmidi_library INTERFACE ${PORTMIDI_LIBRARY})
  if(PORTTIME_LIBRARY)
    target_link_libraries(portmidi_library INTERFACE ${PORTTIME_LIBRARY})
  endif()
  set(PORTMIDI_FOUND_BY "its library and headers")
endif()
target_include_directories(portmidi_headers SYSTEM INTERFACE ${PORTMIDI_INCLUDE_DIRS})
target_link_libraries(portmidi_library INTERFACE portmidi_headers)
message(STATUS "PortMidi: found by ${PORTMIDI_FOUND_BY}")
