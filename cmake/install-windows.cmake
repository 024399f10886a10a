# The Windows download: one zip with the static exe, the README and the
# licence, as text.
install(TARGETS orbwell-midi RUNTIME DESTINATION .)
install(FILES README.md DESTINATION . RENAME README.txt)
install(FILES LICENSE DESTINATION . RENAME LICENSE.txt)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME orbwell-midi)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
