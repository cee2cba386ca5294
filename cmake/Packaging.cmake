# SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
# Desktop integration files and the Debian package (cpack -G DEB).
install(FILES data/cvdialer.desktop data/cvdialer-config.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/cvdialer.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES man/cvdialer.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cvdialer)
set(CPACK_PACKAGE_VENDOR Corvane)
set(CPACK_PACKAGE_CONTACT "Corvane <soporte@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Telephone dialer for a Hayes modem")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
# The Qt libraries come from what the program links; the platform plugins
# are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, sound-theme-freedesktop")
# Only the program and its files; the simulated modem stays out.
set(CPACK_COMPONENTS_ALL Unspecified)
include(CPack)
