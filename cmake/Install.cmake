# Installing brasko like a desktop program, and packing it as a Debian package.
#
#   cmake --install <build> [--prefix <prefix>]     installs to any prefix:
#     bin/brasko                                     the command: a launcher script
#     lib/brasko/brasko                              the program, which the launcher runs
#     share/brasko/{granite.mp3,ressources/}         what it reads from its working directory
#     share/applications/<id>.desktop                the menu entry; Exec= is the launcher
#     share/metainfo/<id>.metainfo.xml               AppStream data for software centres
#     share/icons/hicolor/NxN/apps/brasko.png        the loudspeaker icon, N = 32 ... 256
#     share/man/man1/brasko.1.gz                     the manual page
#     share/doc/brasko/{copyright,changelog.gz}      licences and history
#     share/lintian/overrides/brasko                 notes for lintian about the font
#   cpack -G DEB                                     brasko_<version>_<arch>.deb for /usr
#
# The program finds its files through the working directory. As Debian does for programs
# with a data folder, the command in bin/ is a small script that enters share/brasko and
# runs the program kept in lib/brasko/, so that `brasko` works from any folder. The script
# and the menu entry name absolute paths, so they are written when installing, not when
# configuring: `cmake --install --prefix X` and DESTDIR staging both get the right folders,
# those of the prefix being installed to, without DESTDIR.
include(GNUInstallDirs)

set(BRASKO_APP_ID io.github.brasko.Brasko)
set(BRASKO_RELEASE_DATE 2026-12-08)
set(BRASKO_MAINTAINER "The Brasko developers <brasko@example.org>")
set(BRASKO_ICON_SIZES 32 48 64 128 256)
set(brasko_data_dir ${CMAKE_INSTALL_DATADIR}/brasko)
set(brasko_staging ${PROJECT_BINARY_DIR}/install-files)

# Directories created by the install get the usual 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(brasko_file_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# Debian's place for a package's own programs, which users do not run directly.
set(brasko_program_dir lib/brasko)
install(TARGETS brasko RUNTIME DESTINATION ${brasko_program_dir})

install(DIRECTORY ${PROJECT_SOURCE_DIR}/ressources
    DESTINATION ${brasko_data_dir}
    FILE_PERMISSIONS ${brasko_file_permissions})
install(FILES ${PROJECT_SOURCE_DIR}/granite.mp3
    DESTINATION ${brasko_data_dir}
    PERMISSIONS ${brasko_file_permissions})

foreach(size IN LISTS BRASKO_ICON_SIZES)
    install(FILES ${PROJECT_SOURCE_DIR}/desktop/icons/hicolor/${size}x${size}/apps/brasko.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        PERMISSIONS ${brasko_file_permissions})
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/desktop/${BRASKO_APP_ID}.metainfo.xml.in
    ${brasko_staging}/${BRASKO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${brasko_staging}/${BRASKO_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
    PERMISSIONS ${brasko_file_permissions})

# The launcher and the menu entry, written at install time for the prefix being installed to.
install(CODE "
set(BRASKO_LAUNCHER_TEMPLATE \"${PROJECT_SOURCE_DIR}/desktop/brasko.in\")
set(BRASKO_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/desktop/brasko.desktop.in\")
set(BRASKO_STAGING \"${brasko_staging}\")
set(BRASKO_APP_ID \"${BRASKO_APP_ID}\")
set(BRASKO_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(BRASKO_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
set(BRASKO_PROGRAMDIR \"${brasko_program_dir}\")
include(\"${CMAKE_CURRENT_LIST_DIR}/InstallForPrefix.cmake\")
")

# The manual page and the changelog, compressed the way Debian wants them: gzip -9, no
# name or time stamp in the header, so that builds are reproducible.
find_program(BRASKO_GZIP gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/desktop/brasko.1.in ${brasko_staging}/brasko.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/desktop/changelog.in ${brasko_staging}/changelog @ONLY)
set(brasko_gzipped)
foreach(name brasko.1 changelog)
    add_custom_command(OUTPUT ${brasko_staging}/${name}.gz
        COMMAND ${BRASKO_GZIP} -9 -n -k -f ${brasko_staging}/${name}
        DEPENDS ${brasko_staging}/${name}
        COMMENT "Compressing ${name}"
        VERBATIM)
    list(APPEND brasko_gzipped ${brasko_staging}/${name}.gz)
endforeach()
add_custom_target(brasko_install_files ALL DEPENDS ${brasko_gzipped})

install(FILES ${brasko_staging}/brasko.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    PERMISSIONS ${brasko_file_permissions})
install(FILES ${PROJECT_SOURCE_DIR}/desktop/copyright ${brasko_staging}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR}
    PERMISSIONS ${brasko_file_permissions})
# Why lintian's notes about the font do not apply (read by lintian only).
install(FILES ${PROJECT_SOURCE_DIR}/desktop/lintian-overrides
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME brasko
    PERMISSIONS ${brasko_file_permissions})

# The Debian package: `cpack -G DEB` in a build folder, preferably a Release one.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brasko)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Brasko developers")
set(CPACK_PACKAGE_CONTACT ${BRASKO_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "small desktop player for one song")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${BRASKO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The synopsis line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY; this is the long part.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Brasko opens a small fixed window with a brushed-metal faceplate and plays
one song, Velmar, with Play, Pause and Stop picture buttons and a progress
bar that jumps to the point clicked. The song plays once and is never looped.
.
It starts from the desktop menu, or as brasko from any folder, and answers
the desktop's media keys and player controls (MPRIS on the session bus). It
reads its pictures, its font and the song from /usr/share/brasko.")
include(CPack)
