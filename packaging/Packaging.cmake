# Installation and the Debian package: programs in bin, the udev rule, desktop integration, man pages and the
# bash completion. `cpack -G DEB` in a build folder makes thermivo_VERSION_ARCH.deb (scripts/check-package.sh).
include(GNUInstallDirs)
set(PKG ${CMAKE_SOURCE_DIR}/packaging)

# Device access: the udev rule lets the logged-in user open the bridge and keeps ModemManager away from it.
# The package puts it with the system's rules (lib/udev/rules.d under /usr); an install from source into /etc.
set(THERMIVO_UDEV_RULES_DIR "/etc/udev/rules.d" CACHE STRING "Where the udev rule is installed (relative: under the prefix)")
install(FILES ${PKG}/60-thermivo-ch34x.rules DESTINATION ${THERMIVO_UDEV_RULES_DIR})

if(THERMIVO_BUILD_GUI)
  install(FILES ${CMAKE_SOURCE_DIR}/src/gui/resources/thermivo.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 48 128 256)
    install(FILES ${PKG}/icons/thermivo-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME thermivo.png)
  endforeach()
  install(FILES ${PKG}/icons/thermivo.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PKG}/org.kelvora.thermivo.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
install(FILES ${PKG}/thermivo-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME thermivo.xml)
install(FILES ${PKG}/thermivo-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME thermivo-cli)

# Man pages from each program's --help and --version, so they never disagree with the programs. thermivo-cli's
# page also carries every command's own help.
find_program(HELP2MAN help2man)
find_program(GZIP gzip)
if(HELP2MAN AND GZIP)
  set(man_dir ${CMAKE_BINARY_DIR}/man)
  set(man_pages)
  set(man_name_thermivo "program for a USB temperature and humidity data logger")
  set(man_name_thermivo-cli "read, create and convert data logger recordings, talk to the instrument")
  set(man_name_thermivo-sim "a virtual temperature data logger on a pseudo-terminal")
  foreach(program thermivo thermivo-cli thermivo-sim)
    if(NOT TARGET ${program})
      continue()
    endif()
    # Synopsis, environment and files are written by hand: help2man cannot read them from --help.
    set(include_args --name "${man_name_${program}}" --include ${PKG}/man/${program}.h2m)
    set(commands_page)
    if(program STREQUAL "thermivo-cli")
      list(APPEND include_args --include ${man_dir}/thermivo-cli-commands.h2m)
      set(commands_page COMMAND sh ${PKG}/man-commands.sh $<TARGET_FILE:${program}> ${man_dir}/thermivo-cli-commands.h2m)
    endif()
    add_custom_command(
      OUTPUT ${man_dir}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
      ${commands_page}
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
              ${HELP2MAN} --no-info --section=1 --no-discard-stderr ${include_args}
              --output=${man_dir}/${program}.1 $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${man_dir}/${program}.1
      DEPENDS ${program} ${PKG}/man-commands.sh ${PKG}/man/${program}.h2m
      VERBATIM)
    list(APPEND man_pages ${man_dir}/${program}.1.gz)
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_pages})
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no man pages")
endif()

# Debian's documentation files: the licence and a changelog, compressed as policy wants.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/thermivo)
install(FILES ${PKG}/copyright DESTINATION ${doc_dir})
if(GZIP)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                     COMMAND ${GZIP} -9nc ${PKG}/changelog > ${CMAKE_BINARY_DIR}/changelog.gz
                     DEPENDS ${PKG}/changelog)
  add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${doc_dir})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME thermivo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Thermivo developers <developers@thermivo.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "program for a USB temperature and humidity data logger")
set(CPACK_PACKAGE_DESCRIPTION
    "Thermivo talks to a portable USB temperature (and humidity) data logger behind
a CH341 USB-to-serial bridge: it downloads the samples, sets the instrument's
clock and starts a new recording. Recordings are shown with a summary and a
chart, saved, exported to a workbook or CSV and printed. The package holds the
desktop program thermivo, the command-line tool thermivo-cli and the virtual
instrument thermivo-sim.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The windows need a platform plugin; Qt's own dialogs speak the system language with its translations.
# The history of downloads and files is an SQLite database.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libsqlite3-0")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${PKG}/postinst;${PKG}/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
# A packaged program must confirm print jobs with the print service: no package from a build without libcups.
if(THERMIVO_BUILD_GUI AND NOT THERMIVO_HAVE_CUPS)
  file(WRITE ${CMAKE_BINARY_DIR}/require-cups.cmake
       "message(FATAL_ERROR \"this build has no libcups (Debian: libcups2-dev); install it and configure again\")\n")
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/require-cups.cmake)
endif()
include(CPack)
