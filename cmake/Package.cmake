# The Debian package of the zelk program, made by `cpack` in a Release build folder
# (tools/package does it all). It holds what `cmake --install` installs from window/: the program,
# the desktop entry, the icons, the AppStream metainfo and the licence as
# /usr/share/doc/zelk/copyright. A parent project that adds Zelk as a
# subdirectory packages itself.

if(NOT PROJECT_IS_TOP_LEVEL OR NOT ZELK_BUILD_WINDOW)
    return()
endif()

set(ZELK_PACKAGE_MAINTAINER "Zelk developers" CACHE STRING
    "Maintainer field of the Debian package, \"Name <address>\"")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelk)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Debian's form: a synopsis without capital or full stop, the long text in lines under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test environment for small feed-forward neural networks")
set(CPACK_PACKAGE_DESCRIPTION [[
Zelk builds a multilayer feed-forward neural network from a shape such as
2-3-1, evaluates typed input patterns and shows the outputs as real values,
state symbols or small bars, and writes out every combination of 0 and 1
inputs. It trains the network by back-propagation with momentum for a number
of cycles and reports the mean absolute error and the weights. Networks are
saved and loaded with their pattern lists as INI files.

The window is a Qt 6 Widgets program; its texts are Czech.]])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZELK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# dpkg-shlibdeps reads the libraries the stripped binary links and writes Depends from them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Czech texts, and Liberation Sans and Mono, the faces of the window's metrics when
# Arial and Courier New are missing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-liberation2")

include(CPack)
