# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Desktop integration files and the Debian package (cpack -G DEB), laid out as
# Debian policy and lintian expect. Every version and date comes from the
# project() call and CVDIALER_RELEASE_DATE.
set(CVDIALER_APPSTREAM_ID com.corvane.cvdialer)
set(CPACK_PACKAGE_CONTACT "Corvane <soporte@corvane.invalid>")
execute_process(COMMAND env LC_ALL=C date -u -R -d ${CVDIALER_RELEASE_DATE}
    OUTPUT_VARIABLE CVDIALER_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u +%s -d ${CVDIALER_RELEASE_DATE}
    OUTPUT_VARIABLE CPACK_CVDIALER_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)

set(generated ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(man/cvdialer.1 ${generated}/cvdialer.1 @ONLY)
# Corvane writes and packages the program, so the package is native: its
# version is the project's and its changelog is changelog.gz.
configure_file(data/debian/changelog.in ${generated}/changelog @ONLY)
configure_file(data/cvdialer.metainfo.xml.in
    ${generated}/${CVDIALER_APPSTREAM_ID}.metainfo.xml @ONLY)
# Compressed without name or time stamp, so the same sources give the same package.
add_custom_command(OUTPUT ${generated}/cvdialer.1.gz ${generated}/changelog.gz
    COMMAND gzip -9nkf cvdialer.1 changelog
    WORKING_DIRECTORY ${generated}
    DEPENDS ${generated}/cvdialer.1 ${generated}/changelog
    VERBATIM)
add_custom_target(packaging-files ALL
    DEPENDS ${generated}/cvdialer.1.gz ${generated}/changelog.gz)

install(FILES data/cvdialer.desktop data/cvdialer-config.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/cvdialer.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# For desktops and software centres that take no SVG; rendered from the SVG
# (ImageMagick: -density 384, -resize 48x48, no date chunks) and kept beside it.
install(FILES data/cvdialer.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${generated}/${CVDIALER_APPSTREAM_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${generated}/cvdialer.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# journalctl -x explains the dialer's records; /usr/lib whatever the libdir, as systemd reads it.
install(FILES data/cvdialer.catalog DESTINATION lib/systemd/catalog)
install(FILES data/debian/copyright ${generated}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_VERBATIM_VARIABLES ON) # the description holds quotes
set(CPACK_PACKAGE_NAME cvdialer)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "telephone dialer for a Hayes modem")
# Lines of at most 80 characters; an empty line becomes the control file's " .".
set(CPACK_PACKAGE_DESCRIPTION [[
cvdialer makes the Hayes modem on a serial port dial a telephone number as a
voice call. A customer-management application starts it with the number
between two "#" characters, or the desktop hands it a tel: link. It puts the
dial prefix in front of the number, waits for the modem's answer, tells the
operator to pick up the handset, and hangs the modem up.

"cvdialer /Config", or the menu entry CVDialer, opens a small Spanish settings
window for the dial prefix, the port number and the line settings, kept in
~/.config/CVDIALER.INI.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The binary is stripped; its debug symbols go to cvdialer-dbgsym (a .ddeb),
# when it has any: a Release or MinSizeRel build has none, and an empty
# debug package is only a lintian warning (debug-file-with-no-debug-symbols).
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
if(" ${CMAKE_CXX_FLAGS} ${CMAKE_CXX_FLAGS_${build_type}}" MATCHES " -g")
    set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
else()
    set(CPACK_STRIP_FILES ON) # the symbol table still goes, as Debian policy asks
endif()
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/RepairDbgsym.cmake)
# The same tree gives the same packages: every date from SOURCE_DATE_EPOCH.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/ReproducibleDates.cmake)
set(CPACK_CVDIALER_SOURCE_DIR ${CMAKE_SOURCE_DIR})
# The libraries come from what the program links (Qt); libcanberra, the Qt
# platform plugins and Qt's Spanish texts are loaded at run time, so they are
# named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcanberra0, qt6-qpa-plugins, qt6-translations-l10n")
# libcanberra-pulse: the cue reaches PulseAudio and PipeWire as "CVDialer"
# rather than through ALSA; qt6-wayland: without it a Wayland-only session
# has no display for the dialer; libssl3: opened at run time for a modem bank
# reached over TLS.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "xdg-utils, sound-theme-freedesktop, libcanberra-pulse, qt6-wayland, libssl3")
# A bank of modems on the LAN is served by a device server such as ser2net.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ser2net")
# Only the program and its files; the simulated modem stays out.
set(CPACK_COMPONENTS_ALL Unspecified)
include(CPack)
