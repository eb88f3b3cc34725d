# The Debian package: `cpack -G DEB` in the build folder makes orbelle-player_<version>_<arch>.deb
# from this build's install rules, installed under /usr. Its dependencies are the shared libraries
# dpkg-shlibdeps finds the two programs linked against, and what they load at run time without
# linking it: the GStreamer plugins the media worker decodes with, the picture loaders of
# gdk-pixbuf, OpenGL's drivers (the device draws through libepoxy, which opens libGL itself) and
# the file chooser. No maintainer scripts: dpkg's triggers refresh the desktop, icon, MIME and
# manual caches on install and removal, and removal takes away every file the package brought.
# cpack packages what the build made, without building first (a build of everything would also
# build the tests): build, then package. A missing program or icon fails the packaging.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE CACHE BOOL "Install and package without building first")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbelle-player)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orbelle-Player developers")
set(CPACK_PACKAGE_CONTACT "${ORBELLE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "media viewer that shows a video or picture through a lens")
# Debian wants the long description's lines under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Orbelle-Player shows a video or a picture only through a lens of 128 by
128 pixels that follows the mouse pointer, with a moving moire pattern
behind it. The wheel zooms the picture about the pointer, a right click
locks the camera, and a strip of picture buttons with Japanese tooltips
opens files, plays videos and steps through the files of a folder. Every
file is decoded by a separate worker program in a sandbox.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${ORBELLE_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# gdk-pixbuf's own package has the bmp, gif, png, jpeg and tiff loaders; webp, heif and avif come
# with loaders of their own.
set(ORBELLE_PACKAGE_RUNTIME_DEPENDS
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
    gstreamer1.0-libav webp-pixbuf-loader heif-gdk-pixbuf libavif-gdk-pixbuf libgl1 libgl1-mesa-dri zenity)
list(JOIN ORBELLE_PACKAGE_RUNTIME_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Sound goes to whichever audio system the desktop runs; without one it is dropped.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-pulseaudio | gstreamer1.0-pipewire | gstreamer1.0-alsa")
include(CPack)
