# The Debian package: dependencies from dpkg-shlibdeps, the documentation
# files Debian asks for (copyright, changelog.gz), and the control fields.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PARTWRIGHT_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Partwright cuts each text file in a list every N lines, at every\n\
occurrence of a separator text, or at every blank line, and writes the\n\
pieces as UTF-8 beside their source, named after their first characters,\n\
the source name with a counter, or a prefix with a counting number.\n\
.\n\
The package holds the window (partwright) and the command line\n\
(partwright-cli), which runs the same engine for scripts.")

# The licence in Debian's machine-readable copyright format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" licence "${licence}")
string(STRIP "${licence}" licence)
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
set(copyright ${CMAKE_CURRENT_BINARY_DIR}/copyright)
file(WRITE ${copyright}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n\
Upstream-Name: Partwright\n\
\n\
Files: *\n\
Copyright: 2026 the Partwright developers\n\
License: Expat\n ${licence}\n")

configure_file(changelog.Debian.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    COMMAND ${PARTWRIGHT_GZIP} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog
    VERBATIM)
add_custom_target(partwright_debian_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_dependencies(partwright_data partwright_debian_changelog)
install(FILES ${copyright} ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})
