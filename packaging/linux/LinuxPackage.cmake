# What `cmake --install` puts on a Linux machine, and the .deb that CPack makes of it:
#   bin/vardel, bin/vardelctl, the window's translations (share/vardel/translations), the
#   desktop entry and its icons, both manual pages, the udev rule
#   (lib/udev/rules.d, installed where the platform library is built), vardelctl's bash
#   completion, and in share/doc/vardel the copyright, the changelog, the documents the manual
#   pages name and an example scenario; the drive service and its system files come from
#   src/service.
# With CMAKE_INSTALL_PREFIX /usr, as the package has it, udev finds the rule in /usr/lib/udev.
include(GNUInstallDirs)

set(VARDEL_LINUX_PACKAGING ${CMAKE_CURRENT_LIST_DIR})
set(VARDEL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vardel)

# The dynamically linked vardelctl where the build also makes a static one (src/vardelctl).
if(TARGET vardelctl_packaged)
  install(TARGETS vardel vardelctl_packaged RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
else()
  install(TARGETS vardel vardelctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${VARDEL_LINUX_PACKAGING}/vardel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The window's translations, where vardel looks for them beside its prefix (../share/vardel).
install(FILES ${VARDEL_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/vardel/translations)
foreach(size ${VARDEL_ICON_SIZES})
  install(FILES ${VARDEL_ICON_DIR}/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME vardel.png)
endforeach()

# Manual pages and the changelog go compressed, as Debian keeps them.
find_program(VARDEL_GZIP gzip REQUIRED)
set(VARDEL_MAN_PAGES)
set(VARDEL_MAN_PAGES_8)
foreach(page vardel.1 vardelctl.1 vardel-service.8)
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMAND ${VARDEL_GZIP} -9 -n -c ${VARDEL_LINUX_PACKAGING}/${page} > ${compressed}
    DEPENDS ${VARDEL_LINUX_PACKAGING}/${page}
    COMMENT "Compressing the manual page ${page}"
    VERBATIM)
  if(page MATCHES "\\.8$")
    list(APPEND VARDEL_MAN_PAGES_8 ${compressed})
  else()
    list(APPEND VARDEL_MAN_PAGES ${compressed})
  endif()
endforeach()
# A native package (the version has no Debian revision) keeps its changelog as changelog.gz.
set(VARDEL_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(
  OUTPUT ${VARDEL_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
  COMMAND ${VARDEL_GZIP} -9 -n -c ${VARDEL_LINUX_PACKAGING}/changelog > ${VARDEL_CHANGELOG}
  DEPENDS ${VARDEL_LINUX_PACKAGING}/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(vardel_man_pages ALL DEPENDS ${VARDEL_MAN_PAGES} ${VARDEL_MAN_PAGES_8}
                                              ${VARDEL_CHANGELOG})
install(FILES ${VARDEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${VARDEL_MAN_PAGES_8} DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

install(FILES ${VARDEL_LINUX_PACKAGING}/copyright ${VARDEL_CHANGELOG}
              ${PROJECT_SOURCE_DIR}/docs/vardelctl.md ${PROJECT_SOURCE_DIR}/docs/scenario-format.md
        DESTINATION ${VARDEL_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/tests/vardelctl/scenarios/plain.json
        DESTINATION ${VARDEL_DOC_DIR}/examples)
# Written beside the console tool's own files; the package holds it once it is there.
set(VARDEL_BASH_COMPLETION ${VARDEL_LINUX_PACKAGING}/vardelctl.bash-completion)
if(EXISTS ${VARDEL_BASH_COMPLETION})
  install(FILES ${VARDEL_BASH_COMPLETION}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vardelctl)
endif()

set(VARDEL_PACKAGE_MAINTAINER "Vardel developers <vardel@example.org>" CACHE STRING
    "Maintainer named in the .deb")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vardel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vardel")
set(CPACK_PACKAGE_CONTACT ${VARDEL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "switch the LUNs of a USB drive between Removable and Fixed Disk")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${VARDEL_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The summary line comes first from CPACK_PACKAGE_DESCRIPTION_SUMMARY; CPack indents the rest.
# Lines stay under 80 characters with the indent CPack adds.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vardel finds the single attached USB drive of the served kind (INQUIRY
revision PMAP), shows its LUN 0 and LUN 1 as Removable or Fixed Disk, and
switches either one by rewriting the drive's vendor configuration block
through SCSI pass-through, checking the result by reading it back.
.
The package holds the window (vardel, Qt 6), the console tool (vardelctl),
a system service on D-Bus (vardel-service, started on demand, sandboxed,
each call authorized by polkit) and a udev rule that gives the SCSI
generic node of such a drive attached through USB to the service's group
alone. Without root, the window and the console tool ask the service,
which sends the drive nothing but its own few commands: reading is
allowed to the user at the seat, a change asks for that user's password.
Both programs run on an emulated drive with --emulate.")
# dpkg-shlibdeps names the libraries the programs link (Qt 6, libstdc++).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The drive service's account (res/linux/service/vardel.sysusers); its journal goes on purge.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${VARDEL_LINUX_PACKAGING}/postinst
    ${VARDEL_LINUX_PACKAGING}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The generic nodes need the sg driver and udev; the Chinese captions need a font that has them;
# Qt's own translations give the message boxes' standard buttons and the edits' menu the window's
# language (without them those few words stay English).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "udev, dbus, polkitd, fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)
include(CPack)
