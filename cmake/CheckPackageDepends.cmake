# SPDX-License-Identifier: MIT
# Run by cpack after it built the Debian package: a package whose Depends do not name the C library
# and Qt's GUI library (which also holds the X11 platform plugin) was made without its library
# dependencies and would install where the program cannot start. Such a package is deleted before
# cpack copies it out, so that cpack fails and leaves no package behind.
foreach(package ${CPACK_PACKAGE_FILES})
    execute_process(COMMAND dpkg-deb --field ${package} Depends OUTPUT_VARIABLE depends
                    RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(failed OR NOT depends MATCHES "(^|[ ,])libc6([ ,(]|$)"
       OR NOT depends MATCHES "(^|[ ,])libqt6gui6([ ,(]|$)")
        file(REMOVE ${package})
        message(FATAL_ERROR "The package does not depend on the libraries the program links "
                            "(Depends: ${depends}). Is dpkg-shlibdeps (dpkg-dev) installed? "
                            "bash scripts/deps.sh installs it.")
    endif()
endforeach()
