# Installation for desktop screensaver daemons, and the Debian package.
#
# `cmake --install` puts, under the install prefix (/usr for the package):
#   bin/quelm                                  the program (startup/CMakeLists.txt)
#   libexec/xscreensaver/quelm                 a link to it, where XScreenSaver looks for hacks
#   share/xscreensaver/config/quelm.xml        its entry in xscreensaver-settings
#   share/man/man6/quelm.6.gz                  the manual page
#   share/applications/screensavers/quelm.desktop   the entry for desktop screensaver menus
#   libexec/xsecurelock/saver_quelm            the xsecurelock saver module
# The link, the desktop entry and the module name the program by its installed path, which
# is known only at install time (`cmake --install --prefix` and CPack both change it), so
# they are made then. The desktop entry names the hack link: mate-screensaver runs only
# programs in its engine folders (XScreenSaver's hack folder is one).
include(GNUInstallDirs)

set(QUELM_XSCREENSAVER_HACKDIR "${CMAKE_INSTALL_LIBEXECDIR}/xscreensaver" CACHE STRING
  "Where XScreenSaver looks for its hacks (relative to the install prefix, or absolute)")
set(QUELM_XSCREENSAVER_CONFIGDIR "${CMAKE_INSTALL_DATADIR}/xscreensaver/config" CACHE STRING
  "Where xscreensaver-settings reads the hacks' XML files (relative to the prefix, or absolute)")
set(QUELM_XSECURELOCK_DIR "${CMAKE_INSTALL_LIBEXECDIR}/xsecurelock" CACHE STRING
  "Where xsecurelock looks for saver_* modules (relative to the prefix, or absolute)")
set(QUELM_DESKTOP_DIR "${CMAKE_INSTALL_DATADIR}/applications/screensavers" CACHE STRING
  "Where desktop screensaver menus read screensaver entries (relative to the prefix, or absolute)")

set(quelm_pkg_src ${CMAKE_CURRENT_LIST_DIR})
set(quelm_pkg_bin ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${quelm_pkg_bin})

# Debian keeps manual pages compressed; man reads either.
find_program(QUELM_GZIP gzip)
if(QUELM_GZIP)
  add_custom_command(OUTPUT ${quelm_pkg_bin}/quelm.6.gz
    COMMAND ${QUELM_GZIP} -9 -n -c ${quelm_pkg_src}/quelm.6 > ${quelm_pkg_bin}/quelm.6.gz
    DEPENDS ${quelm_pkg_src}/quelm.6
    COMMENT "Compressing the manual page")
  add_custom_target(quelm_manpage ALL DEPENDS ${quelm_pkg_bin}/quelm.6.gz)
  install(FILES ${quelm_pkg_bin}/quelm.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
else()
  install(FILES ${quelm_pkg_src}/quelm.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
endif()

install(FILES ${quelm_pkg_src}/quelm.xml DESTINATION ${QUELM_XSCREENSAVER_CONFIGDIR})

# Made at install time: the files that name the installed program, and the hack link.
install(CODE "
  function(quelm_full_path out dir)
    if(IS_ABSOLUTE \"\${dir}\")
      set(\${out} \"\${dir}\" PARENT_SCOPE)
    else()
      set(\${out} \"\${CMAKE_INSTALL_PREFIX}/\${dir}\" PARENT_SCOPE)
    endif()
  endfunction()
  quelm_full_path(QUELM_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  quelm_full_path(quelm_hackdir \"${QUELM_XSCREENSAVER_HACKDIR}\")
  set(QUELM_PROGRAM \"\${QUELM_BINDIR}/quelm\")
  set(QUELM_HACK \"\${quelm_hackdir}/quelm\")
  configure_file(\"${quelm_pkg_src}/saver_quelm.in\" \"${quelm_pkg_bin}/saver_quelm\" @ONLY)
  configure_file(\"${quelm_pkg_src}/quelm.desktop.in\" \"${quelm_pkg_bin}/quelm.desktop\" @ONLY)
  file(RELATIVE_PATH quelm_link_target \"\${quelm_hackdir}\" \"\${QUELM_PROGRAM}\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${quelm_hackdir}\")
  file(REMOVE \"\$ENV{DESTDIR}\${quelm_hackdir}/quelm\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${quelm_hackdir}/quelm -> \${quelm_link_target}\")
  file(CREATE_LINK \"\${quelm_link_target}\" \"\$ENV{DESTDIR}\${quelm_hackdir}/quelm\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\$ENV{DESTDIR}\${quelm_hackdir}/quelm\")
")
install(PROGRAMS ${quelm_pkg_bin}/saver_quelm DESTINATION ${QUELM_XSECURELOCK_DIR})
install(FILES ${quelm_pkg_bin}/quelm.desktop DESTINATION ${QUELM_DESKTOP_DIR})

# The Debian package: `cpack -G DEB` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does both). The default maintainer is the project at its home page's
# host; a packager sets their own name and address.
set(QUELM_DEB_MAINTAINER "The Quelm developers <developers@quelm.example.org>" CACHE STRING
  "Maintainer field of the Debian package")

# Debian's package documents: the licence as a machine-readable copyright file, its notice
# and text taken from LICENSE ("Expat" is that format's name for the MIT licence), and the
# package's changelog, compressed as man pages are.
set(quelm_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/quelm)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE quelm_licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)\n\n(.*)" quelm_found "${quelm_licence}")
if(NOT quelm_found)
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) ...\" line followed by the licence text")
endif()
set(QUELM_COPYRIGHT "${CMAKE_MATCH_1}")
# In the copyright format the text is indented by a space and a blank line is " .".
string(STRIP "${CMAKE_MATCH_2}" quelm_licence_text)
string(REPLACE "\n\n" "\n.\n" quelm_licence_text "${quelm_licence_text}")
string(REPLACE "\n" "\n " quelm_licence_text "${quelm_licence_text}")
set(QUELM_LICENSE_TEXT " ${quelm_licence_text}")
configure_file(${quelm_pkg_src}/copyright.in ${quelm_pkg_bin}/copyright @ONLY)
install(FILES ${quelm_pkg_bin}/copyright DESTINATION ${quelm_doc_dir})
if(QUELM_GZIP)
  add_custom_command(OUTPUT ${quelm_pkg_bin}/changelog.Debian.gz
    COMMAND ${QUELM_GZIP} -9 -n -c ${quelm_pkg_src}/changelog.Debian > ${quelm_pkg_bin}/changelog.Debian.gz
    DEPENDS ${quelm_pkg_src}/changelog.Debian
    COMMENT "Compressing the package's changelog")
  add_custom_target(quelm_changelog ALL DEPENDS ${quelm_pkg_bin}/changelog.Debian.gz)
  install(FILES ${quelm_pkg_bin}/changelog.Debian.gz DESTINATION ${quelm_doc_dir})
endif()
# lintian's note on the changelog, answered in the file's comment.
install(FILES ${quelm_pkg_src}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME quelm)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quelm)
set(CPACK_PACKAGE_VENDOR "Quelm developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUELM_DEB_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D screensaver: the inside of a box papered with your desktop")
set(CPACK_PACKAGE_DESCRIPTION
"Quelm shows the inside of a closed box drawn in 3D: a floor, a ceiling and
four walls, each covered by a picture - a capture of the desktop taken as the
show starts, or six pictures chosen by the user (BMP, JPEG or GIF). The eye
drifts through the box, bounces back from its walls and slowly turns, while
music plays from an audio CD, an MP3 file or a WAV file.

It runs as an XScreenSaver hack (selectable in xscreensaver-settings), as an
xsecurelock saver module (saver_quelm), and as a locker command for xss-lock
or xautolock (quelm /s). In a Wayland session it runs natively, started by the
session's idle daemon (swayidle -w timeout 600 'quelm /s'). 'quelm /c' opens
its settings dialog.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# CPack's strip leaves the compiler's .comment and .note sections, which Debian's own strip
# removes (lintian: binary-has-unneeded-section).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    quelm_full_path(quelm_bindir \"${CMAKE_INSTALL_BINDIR}\")
    quelm_full_path(quelm_sound_dir \"${QUELM_SOUND_MODULE_DIR}\")
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                            \"\$ENV{DESTDIR}\${quelm_bindir}/quelm\"
                            \"\$ENV{DESTDIR}\${quelm_sound_dir}/quelm-sound.so\")
  endif()
")
# lintian's informational notes hardening-no-bindnow and hardening-no-fortify-functions stay:
# the package carries the program built with the project's own compiler and linker flags,
# without the hardening flags (`dpkg-buildflags`) that Debian's own package builds add.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
file(STRINGS ${quelm_pkg_src}/changelog.Debian quelm_changelog_top LIMIT_COUNT 1)
if(NOT quelm_changelog_top MATCHES "^quelm \\(${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}\\) ")
  message(WARNING "packaging/changelog.Debian: the latest entry is not of version "
                  "${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUELM_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the program and its sound module link (Qt, xcb, PulseAudio, libsndfile,
# libcdio, the C++ run time) come from dpkg-shlibdeps; named here is what the program loads or uses at run
# time without linking it: an OpenGL driver and the font that stands in for the dialog's
# Japanese font. Qt's X platform plugin and its JPEG and GIF readers are in libqt6gui6.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libglx-mesa0 | libglx-vendor, libgl1-mesa-dri, fonts-ipafont-gothic")
# qt6-wayland: the show and the dialog natively in a Wayland session; without it they run on
# Xwayland there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xscreensaver | xsecurelock | xss-lock | swayidle, qt6-qpa-plugins, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pulseaudio | pipewire-pulse")
include(CPack)

