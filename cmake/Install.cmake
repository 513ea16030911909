# Installing the game the way a desktop expects, and its Debian package.
#
#   cmake --install <build> --prefix <P>        (DESTDIR=... stages it)
#   cmake --build <build> --target package      (<build>/spindrift_<version>_amd64.deb)
#
# Under the prefix: the program in lib/spindrift with its data folder linked beside it (the host
# finds the data folder beside the real program), the launcher games/spindrift (where Debian puts
# games) that starts it in the player's data folder, the menu entry, the icons, the AppStream
# metadata, the manual page, and the copyright and changelog a Debian package carries.

set(SPINDRIFT_APP_ID "org.spindrift.Spindrift" CACHE STRING "Desktop and AppStream id")
set(SPINDRIFT_HOMEPAGE "https://spindrift.invalid" CACHE STRING "Home page, also hosting the screenshot")
set(SPINDRIFT_MAINTAINER "The Spindrift developers <developers@spindrift.invalid>" CACHE STRING
    "Package maintainer")
set(SPINDRIFT_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence of the game")
# The release's own date, so that every build of one version writes the same files.
set(SPINDRIFT_RELEASE_DATE "2026-12-10")
set(SPINDRIFT_RELEASE_DATE_RFC2822 "Thu, 10 Dec 2026 00:00:00 +0000")

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
set(icons ${SPINDRIFT_BIN_DIR}/data/icons)

configure_file(${packaging}/spindrift.metainfo.xml.in ${staged}/${SPINDRIFT_APP_ID}.metainfo.xml @ONLY)
configure_file(${packaging}/spindrift.6.in ${staged}/spindrift.6 @ONLY)
configure_file(${packaging}/copyright.in ${staged}/copyright @ONLY)
configure_file(${packaging}/changelog.in ${staged}/changelog @ONLY)

# Debian ships manual pages and changelogs compressed, without a time stamp in the gzip header.
set(compressed)
foreach(name spindrift.6 changelog)
    add_custom_command(OUTPUT ${staged}/${name}.gz
        COMMAND gzip -9n -c ${staged}/${name} > ${staged}/${name}.gz
        DEPENDS ${staged}/${name}
        VERBATIM)
    list(APPEND compressed ${staged}/${name}.gz)
endforeach()
add_custom_target(spindrift_packaging ALL DEPENDS ${compressed})

install(TARGETS spindrift RUNTIME DESTINATION lib/spindrift)
# The pictures and sounds are the same on every architecture, so they live under share/ (where
# Debian keeps games' data); the host finds them through a link beside the program.
install(DIRECTORY ${SPINDRIFT_BIN_DIR}/data DESTINATION share/games/spindrift)
install(CODE [[
    file(CREATE_LINK ../../share/games/spindrift/data
         "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/spindrift/data" SYMBOLIC)
]])
install(PROGRAMS ${packaging}/spindrift.sh DESTINATION games RENAME spindrift)
# The menu entry names the launcher by its full path, known only once the prefix is: a games
# folder need not be on the PATH (root's is not, nor is ~/.local/games).
install(CODE "
    set(SPINDRIFT_APP_ID ${SPINDRIFT_APP_ID})
    set(SPINDRIFT_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/games/spindrift\")
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/${SPINDRIFT_APP_ID}.desktop\")
    message(STATUS \"Installing: \${entry}\")
    configure_file(${packaging}/spindrift.desktop.in \"\${entry}\" @ONLY)
")
install(FILES ${staged}/${SPINDRIFT_APP_ID}.metainfo.xml DESTINATION share/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${icons}/spindrift-${size}.png DESTINATION share/icons/hicolor/${size}x${size}/apps
            RENAME ${SPINDRIFT_APP_ID}.png)
endforeach()
install(FILES ${staged}/spindrift.6.gz DESTINATION share/man/man6)
install(FILES ${staged}/copyright ${staged}/changelog.gz DESTINATION share/doc/spindrift)

# The Debian package: its dependencies come from the program's libraries (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME spindrift)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT ${SPINDRIFT_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SPINDRIFT_HOMEPAGE})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "arcade game: climb a leaning shaft of floors")
# CPack indents the lines and marks the empty one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Spindrift is a small arcade game. You climb a shaft of icy floors that keeps
scrolling down the screen: run left and right, jump up through the gaps and
stay on screen. The shaft leans as you stand away from its middle and falls
over when it leans too far; walkers end the round on touch, unless you knock
them into pickups from below.

Easy, normal and hard keep their own high-score tables. Plays with the
keyboard, game pads, an iCade cabinet or the mouse.")
include(CPack)
