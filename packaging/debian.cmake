# The Debian package of the command-line tool: the stripped binary, its manual page, bash
# completion, and in /usr/share/doc/lintora the README, the licence in Debian's machine-readable
# form and the changelog. Man page and changelog are compressed as Debian wants them (gzip -9n:
# no name, no time stamp in the header).
find_program(LINTORA_GZIP gzip REQUIRED)
set(man_page ${CMAKE_CURRENT_BINARY_DIR}/lintora.1)
configure_file(lintora.1 ${man_page} @ONLY)
add_custom_command(OUTPUT lintora.1.gz
                   COMMAND ${LINTORA_GZIP} -9nc ${man_page} > lintora.1.gz
                   DEPENDS ${man_page})
add_custom_command(OUTPUT changelog.gz
                   COMMAND ${LINTORA_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/changelog > changelog.gz
                   DEPENDS changelog)
add_custom_target(debian_files ALL DEPENDS lintora.1.gz changelog.gz)

install(TARGETS lintora RUNTIME DESTINATION bin)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/lintora.1.gz DESTINATION share/man/man1)
install(FILES lintora.bash-completion DESTINATION share/bash-completion/completions
        RENAME lintora)
install(FILES ${PROJECT_SOURCE_DIR}/README.md copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION share/doc/lintora)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Lintora developers <lintora@lintora.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents these lines and turns the empty
# one into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "lintora wipes an external USB hard disk (or a disk image), writes a new MBR or
GPT partition table and one NTFS data partition whose every on-disk structure
it composes itself. It refuses, before the first write, whatever it can check
in advance: a disk in use, mounted or too small, a partition given as a disk.

It can also format a single volume, zero the target first and map the
sectors that fail as bad clusters (--full), and read everything it wrote back
from the medium before it makes the target valid (--verify).")
