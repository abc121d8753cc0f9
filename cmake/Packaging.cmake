# `cpack` in a build folder makes a Debian package of what `cmake --install` installs: the program,
# its menu entry, icon and AppStream file. Its dependencies are read from the linked libraries.
set(CPACK_PACKAGE_NAME kelmora)
set(CPACK_PACKAGE_VENDOR "Kelmora")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "finds leftover temporary and backup files and removes them")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelmora walks the whole system drive and lists every file whose name marks it as a temporary,
backup or leftover file, with its size and a running total. Selected files are erased or moved to
the trash.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
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

set(KELMORA_PACKAGE_MAINTAINER "Kelmora developers <kelmora@localhost>"
    CACHE STRING "Maintainer named in the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KELMORA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the window's font through fontconfig at run time, so no linked library names one: the
# package asks for a font that draws the Czech captions, one the window looks for by name.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core | fonts-liberation2 | fonts-noto-core")
# Without dpkg-shlibdeps CPack would leave the libraries out of Depends and still build the
# package; this check removes such a package again and fails.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CheckPackageDepends.cmake)
include(CPack)
