# Packages, made with `cpack` from a configured build: the renderer as a Debian package
# from a Linux build, the plug-in as a ZIP from the Windows cross-build. Both are named
# and versioned by the project's one version number, which is the effect's own.
set(CPACK_PACKAGE_NAME velunary)
set(CPACK_PACKAGE_VENDOR "Velunary")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "renders video layers through the Velunary effect")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  # The download for artists: the .aex and a text on where it goes, at the archive's top.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velunaria-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Velunary developers <dev@velunary.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "velunary drives the Velunary video effect through a reference host and writes its
frames as PNG images, contact sheets and videos. Particles step across the layer, lay
trail, sense ahead and turn towards the brightest, growing a transport network.")
  # The libraries the renderer and the effect link, found by dpkg-shlibdeps (libpng, the
  # C and C++ runtimes); ffmpeg only for videos and footage, so recommended.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS ffmpeg)
endif()

include(CPack)
