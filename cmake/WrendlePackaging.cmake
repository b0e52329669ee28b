# The Debian package: everything `cmake --install` puts under /usr, with its
# library dependencies worked out by dpkg-shlibdeps. `cpack -G DEB` in the
# build folder writes wrendle-fold_<version>_amd64.deb.

include(GNUInstallDirs)

set(WRENDLE_PACKAGE_FOLDER "${PROJECT_SOURCE_DIR}/formats/package")
set(WRENDLE_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/wrendle-fold")
install(FILES "${WRENDLE_PACKAGE_FOLDER}/copyright" DESTINATION "${WRENDLE_DOC_DIR}")
# A native package's changelog, compressed reproducibly (no name, no time stamp).
add_custom_command(OUTPUT "${PROJECT_BINARY_DIR}/package/changelog.gz"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/package"
    COMMAND sh -c "gzip -9n < '${WRENDLE_PACKAGE_FOLDER}/changelog' > '${PROJECT_BINARY_DIR}/package/changelog.gz'"
    DEPENDS "${WRENDLE_PACKAGE_FOLDER}/changelog"
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS "${PROJECT_BINARY_DIR}/package/changelog.gz")
install(FILES "${PROJECT_BINARY_DIR}/package/changelog.gz" DESTINATION "${WRENDLE_DOC_DIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME wrendle-fold)
set(CPACK_PACKAGE_VENDOR "${WRENDLE_VENDOR}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo sine-wave folder audio effect (CLAP, LV2, VST3, standalone)")
set(CPACK_PACKAGE_DESCRIPTION "Wrendle Fold drives every input sample into sin(drive x), with an envelope
follower, filters and saturated feedback around the folder, up to 16x
oversampling, automatic gain compensation, a latency-aligned dry/wet mix and a
soft clipper. This package holds the CLAP, LV2 and VST3 plug-ins, the
standalone application wrendle-fold, the factory presets and wrendle-host,
a command-line CLAP host that renders audio files through the plug-in.")
set(CPACK_PACKAGE_CONTACT "${WRENDLE_PACKAGE_CONTACT}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${WRENDLE_PRODUCT_PAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# JUCE opens the X11 libraries at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libx11-6, libxext6, libxrandr2, libxinerama1, libxcursor1")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# The standalone opens libjack at run time when a JACK server is wanted.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2")
include(CPack)
