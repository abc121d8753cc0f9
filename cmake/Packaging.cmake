# SPDX-License-Identifier: MIT
# `cpack` in a build folder makes a Debian package of what `cmake --install` installs: the program,
# its menu entry, icon, AppStream file and manual page, with Debian's copyright file and changelog.
# Its dependencies are read from the linked libraries. packaging/ holds the rpmbuild recipe and the
# Arch PKGBUILD; scripts/package.sh builds and checks all three.
set(CPACK_PACKAGE_NAME kelmora)
set(CPACK_PACKAGE_VENDOR "Kelmora")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds leftover temporary and backup files and removes them")
# Debian shows each line of it as it is: at most 79 columns, so that with its leading space it fits
# an 80-column terminal.
set(CPACK_PACKAGE_DESCRIPTION
    "Kelmora walks the whole system drive and lists every file whose name marks it
as a temporary, backup or leftover file, with its size and a running total.
Selected files are erased or moved to the trash.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kelmora.org/")
set(CPACK_STRIP_FILES ON)

# On Windows the package is a portable ZIP archive instead: Kelmora.exe and README.txt in one
# folder, to unpack anywhere and run; nothing is installed.
if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME "Kelmora-${PROJECT_VERSION}-win64")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
    include(CPack)
    return()
endif()

set(KELMORA_PACKAGE_MAINTAINER "The Kelmora developers <developers@kelmora.org>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first Debian package of each release: packaging/debian/changelog names it, and its newest
# entry must be this version and revision (scripts/package.sh checks that).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELMORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the window's font through fontconfig at run time, so no linked library names one: the
# package asks for a font that draws the Czech captions, one the window looks for by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core | fonts-liberation2 | fonts-noto-core")
# Without dpkg-shlibdeps CPack would leave the libraries out of Depends and still build the
# package; this check removes such a package again and fails.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckPackageDepends.cmake)

# Debian's own files, in the Debian package only (the rpm and Arch packages carry the licence
# their own way): lintian's overrides, each with its reason, the machine-readable copyright file
# and the changelog, compressed as Debian
# compresses it (gzip -9n: no name, no time stamp, the same bytes at every build). They are the
# "debian" component, left out of a plain `cmake --install`; the package holds all components.
find_program(KELMORA_GZIP gzip REQUIRED)
set(KELMORA_DEBIAN_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.Debian)
add_custom_command(OUTPUT ${KELMORA_DEBIAN_CHANGELOG}.gz
                   COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/packaging/debian/changelog
                           ${KELMORA_DEBIAN_CHANGELOG}
                   COMMAND ${KELMORA_GZIP} -9nf ${KELMORA_DEBIAN_CHANGELOG}
                   DEPENDS ${CMAKE_SOURCE_DIR}/packaging/debian/changelog VERBATIM)
add_custom_target(kelmora_debian_changelog ALL DEPENDS ${KELMORA_DEBIAN_CHANGELOG}.gz)
include(GNUInstallDirs)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${KELMORA_DEBIAN_CHANGELOG}.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kelmora COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME kelmora COMPONENT debian
        EXCLUDE_FROM_ALL)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
include(CPack)
