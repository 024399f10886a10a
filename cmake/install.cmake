# Where everything goes on a Linux system, and the Debian package of it.
include(GNUInstallDirs)
set(ORBWELL_APP_ID org.orbwell_midi.orbwell_midi)
set(ORBWELL_GENERATED ${CMAKE_BINARY_DIR}/generated)

install(TARGETS orbwell-midi orbwell-midi-devices orbwell-midi-autoconnect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/orbwell-midi.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/icons/orbwell-midi.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/icons/orbwell-midi-48.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME orbwell-midi.png)
# A short piece to play into the program without a keyboard (aplaymidi); the
# manual page names where it is.
install(FILES data/orbwell-midi-demo.mid DESTINATION ${CMAKE_INSTALL_DATADIR}/orbwell-midi)
set(ORBWELL_DEMO ${CMAKE_INSTALL_FULL_DATADIR}/orbwell-midi/orbwell-midi-demo.mid)
configure_file(data/${ORBWELL_APP_ID}.metainfo.xml.in
               ${ORBWELL_GENERATED}/${ORBWELL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${ORBWELL_GENERATED}/${ORBWELL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog, compressed as Debian keeps them.
set(compressed)
foreach(page orbwell-midi.1 orbwell-midi-devices.1 orbwell-midi-autoconnect.1)
  configure_file(docs/${page}.in ${ORBWELL_GENERATED}/${page} @ONLY)
  list(APPEND compressed ${ORBWELL_GENERATED}/${page}.gz)
endforeach()
configure_file(docs/changelog ${ORBWELL_GENERATED}/changelog COPYONLY)
list(APPEND compressed ${ORBWELL_GENERATED}/changelog.gz)
foreach(file ${compressed})
  string(REGEX REPLACE "\\.gz$" "" plain ${file})
  add_custom_command(OUTPUT ${file} COMMAND gzip -9nc ${plain} > ${file} DEPENDS ${plain})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed})
install(FILES ${ORBWELL_GENERATED}/orbwell-midi.1.gz ${ORBWELL_GENERATED}/orbwell-midi-devices.1.gz
              ${ORBWELL_GENERATED}/orbwell-midi-autoconnect.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE docs/copyright ${ORBWELL_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbwell-midi)
set(CPACK_PACKAGE_VENDOR "The orbwell-midi developers")
set(CPACK_PACKAGE_CONTACT "orbwell-midi developers <developers@orbwell-midi.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live MIDI as a turning grid of lit spheres, with MIDI thru")
set(CPACK_PACKAGE_DESCRIPTION
    "orbwell-midi opens one window and keeps drawing a slowly turning 5 x 5 grid of
lit spheres. A note-on for notes 48 to 72 on MIDI channel 1 sets one sphere's
size from its velocity; control changes on channel 1 set the colour and
direction of the single light. Every event read from MIDI input 1 is written
unchanged to MIDI output 0 (MIDI thru) between frames, within one display
refresh plus the drawing of a frame, but for timing clock and active sensing,
so it can sit between a controller and a sound module while it is played live.
Where both are the kernel's Midi Through port, it writes nothing back to it.
Started from the menu, it connects every MIDI keyboard to itself while it
runs, one plugged in meanwhile too, and a running software synthesizer.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orbwell-midi.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What SDL loads at run time, which dpkg-shlibdeps cannot see: OpenGL through
# GLX on X11 (libgl1, which brings Mesa) and through EGL on Wayland (libegl1).
# Recommended: zenity, the only way SDL has to show a failure box on Wayland.
# The title-bar plugin for GNOME's Wayland session comes with SDL already:
# SDL needs libdecor, which recommends a plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "zenity")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
