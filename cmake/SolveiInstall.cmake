# Installation and the Debian package. The programs that show the skin carry it appended
# to their executables, so installing copies it along; none of them has a run path to
# rewrite, which would otherwise touch the file after the archive was appended.
include(GNUInstallDirs)

set(solvei_programs solvei-remote solvei-sim solvei-ctl solvei-skin solvei-exporter)
foreach(program ${solvei_programs})
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        if(EXISTS ${PROJECT_SOURCE_DIR}/packaging/man/${program}.1)
            install(FILES ${PROJECT_SOURCE_DIR}/packaging/man/${program}.1
                    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        endif()
    endif()
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/packaging/solvei-remote.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The exporter's service unit where systemd looks for a package's units; it names
# /usr/bin/solvei-exporter, where the package puts the program.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/solvei-exporter.service
        DESTINATION lib/systemd/system)

# The icon is drawn from the skin's artwork at every hicolor size when the project builds.
set(solvei_icon_dir ${PROJECT_BINARY_DIR}/icons)
add_custom_command(OUTPUT ${solvei_icon_dir}/hicolor/48x48/apps/solvei-remote.png
    COMMAND solvei-skin-draw --icons ${solvei_icon_dir}
    DEPENDS solvei-skin-draw
    COMMENT "Drawing the application icon"
    VERBATIM)
add_custom_target(solvei_icons ALL DEPENDS ${solvei_icon_dir}/hicolor/48x48/apps/solvei-remote.png)
install(DIRECTORY ${solvei_icon_dir}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME solvei-remote)
set(CPACK_PACKAGE_VENDOR "Solvei Remote developers")
set(CPACK_PACKAGE_CONTACT "Solvei Remote developers <solvei-remote@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Remote control for Solvei on-air audio processors")
set(CPACK_PACKAGE_DESCRIPTION
    "The skinned desktop application with which a broadcast engineer runs one Solvei \
processor over a serial line or UDP, with a processor simulator, a command-line remote, \
a skin tool and a Prometheus exporter for a fleet of processors.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from the libraries the programs link (Qt, zlib, libc, ...).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# solvei-exporter --history keeps its repository with the git program.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS git)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_STRIP_FILES OFF)
include(CPack)
