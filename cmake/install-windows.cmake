# The Windows download: one zip with the static programs, a short guide for
# Windows users and the licence, as text with Windows line ends.
set(ORBWELL_GENERATED ${CMAKE_BINARY_DIR}/generated)
configure_file(data/windows/README.txt.in ${ORBWELL_GENERATED}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE ${ORBWELL_GENERATED}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(TARGETS orbwell-midi orbwell-midi-devices RUNTIME DESTINATION .)
install(FILES ${ORBWELL_GENERATED}/README.txt ${ORBWELL_GENERATED}/LICENSE.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orbwell-midi)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
