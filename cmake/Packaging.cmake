# Install folders, the project's links, and the Debian package (cpack -G DEB;
# scripts/package builds it).

# GNUInstallDirs (which Qt's package may have read already) names the
# documentation folder after the project, Quillon; the package is quillon.
# A folder given with -DCMAKE_INSTALL_DOCDIR is kept.
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
    set(CMAKE_INSTALL_DOCDIR "share/doc/quillon")
endif()
include(GNUInstallDirs)

# Where users find the project. The about window links to both; a link left
# empty is not shown. The mail address is also the package's maintainer.
set(QUILLON_HOMEPAGE_URL "" CACHE STRING "The project's web page, linked from the about window")
set(QUILLON_MAINTAINER_EMAIL "" CACHE STRING "The maintainers' mail address, for the about window and the package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "Quillon maintainers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for video logo generators on RS-232")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Quillon controls video logo generators that share an RS-232 line: it loads"
    "monochrome logos into the generators' slots, sets fade, mix, intensity and"
    "position, switches the logo on and off air (TAKE) and runs a weekly"
    "schedule of TAKE sequences."
    ""
    "The package also holds qxsim, a simulator of the generators for trying the"
    "program without hardware, and the printed manual.")
if(QUILLON_HOMEPAGE_URL)
    set(CPACK_PACKAGE_HOMEPAGE_URL "${QUILLON_HOMEPAGE_URL}")
endif()
# The compiled-in documentation folder must be where the package puts it.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME quillon)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(QUILLON_MAINTAINER_EMAIL)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillon maintainers <${QUILLON_MAINTAINER_EMAIL}>")
else()
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillon maintainers")
endif()

include(CPack)
