# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package: `cpack -G DEB` in the build folder makes
# mirova_<version>_<arch>.deb from the install rules (resources/CMakeLists.txt).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mirova)
set(CPACK_PACKAGE_VENDOR "mirova")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small multimedia player for audio CDs, Video CDs and media files")
# The publisher's (resources/CMakeLists.txt); no Homepage field without one.
set(CPACK_PACKAGE_HOMEPAGE_URL "${MIROVA_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MIROVA_MAINTAINER}")
# CPack puts the summary first and indents these lines itself.
set(CPACK_PACKAGE_DESCRIPTION
    "Savrel超级播放器 is a small, fast desktop player with a Chinese interface.
From one small window it plays audio CDs track by track, Video CDs, single
media files (WAV, MIDI, MP3, AVI, MPEG) and playlists, sets the speaker
volume through the system mixer and captures the screen to a bitmap file.
The keyboard's media keys and the desktop's media controls drive it too.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps, run by
# shlibdeps.cmake: CPack's own CPACK_DEBIAN_PACKAGE_SHLIBDEPS takes the file
# playback module in /usr/lib/mirova for a library of the system's and adds
# maintainer scripts that run ldconfig for it. These are what the programs
# load at run time: GStreamer's elements (playbin, the decoders, MIDI through
# fluidsynth, audio CDs through cdio, the sound servers' sinks), the soundfont
# MIDI plays with, Qt's X11 platform plugin and a font that has the Chinese
# captions.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/shlibdeps.cmake)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, \
gstreamer1.0-libav, gstreamer1.0-pulseaudio | gstreamer1.0-alsa, timgm6mb-soundfont, qt6-qpa-plugins, \
fonts-wqy-microhei")
# The mixer's "default" device on PulseAudio and PipeWire desktops; both sound
# paths; a volume panel.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libasound2-plugins, gstreamer1.0-pulseaudio, gstreamer1.0-alsa")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pavucontrol")
include(CPack)
