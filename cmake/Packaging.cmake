# Where everything goes on "cmake --install" and what "cpack -G DEB" makes of it. Included once the
# program and its data targets exist; LUMORA_DATA_DIR is the build's data folder.
include(GNUInstallDirs)

set(LUMORA_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
# Folders a package creates are 0755 whatever the umask of the one who builds it.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS lumora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The data folder the program looks for at <bin>/../share/lumora. Without ffmpeg there is no default
# clip and no preview picture: the configure step says so and the install carries on without them.
if(TARGET default_media)
  install(FILES ${LUMORA_DATA_DIR}/lumora.mpg ${LUMORA_DATA_DIR}/preview.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora)
else()
  message(WARNING "ffmpeg was not found: the install will have no default clip and no preview picture")
endif()
install(FILES data/lumora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/lumora)

# Icons for the desktop entries: the drawing itself and the PNG sizes rendered from it.
set(LUMORA_ICON_SIZES 16 22 24 32 48 64 128 256)
set(LUMORA_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(icon_outputs)
foreach(size IN LISTS LUMORA_ICON_SIZES)
  list(APPEND icon_outputs ${LUMORA_ICON_DIR}/${size}x${size}/apps/lumora.png)
endforeach()
add_custom_command(OUTPUT ${icon_outputs}
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/make-icons.sh ${CMAKE_SOURCE_DIR}/data/lumora.svg ${LUMORA_ICON_DIR}
          ${LUMORA_ICON_SIZES}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-icons.sh ${CMAKE_SOURCE_DIR}/data/lumora.svg
  COMMENT "Rendering the icon sizes")
add_custom_target(icons ALL DEPENDS ${icon_outputs})
foreach(size IN LISTS LUMORA_ICON_SIZES)
  install(FILES ${LUMORA_ICON_DIR}/${size}x${size}/apps/lumora.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES data/lumora.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The settings dialog in the desktop's menus, and the entry MATE's screen-saver preferences list.
install(FILES ${LUMORA_PACKAGING_DIR}/lumora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${LUMORA_PACKAGING_DIR}/lumora-screensaver.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications/screensavers RENAME lumora.desktop)

# xscreensaver finds its hacks in <libexec>/xscreensaver and their settings pages in its config folder.
install(FILES ${LUMORA_PACKAGING_DIR}/lumora.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/xscreensaver/config)
# The hack is the program itself, linked relatively so the link holds under any DESTDIR or prefix;
# so is xsecurelock's saver, whose name must begin with saver_ (XSECURELOCK_SAVER takes its full path).
function(lumora_install_program_link folder name)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBEXECDIR}")
    file(RELATIVE_PATH target "${CMAKE_INSTALL_FULL_LIBEXECDIR}/${folder}" "${CMAKE_INSTALL_FULL_BINDIR}/lumora")
  else()
    file(RELATIVE_PATH target "/prefix/${CMAKE_INSTALL_LIBEXECDIR}/${folder}" "/prefix/${CMAKE_INSTALL_BINDIR}/lumora")
  endif()
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBEXECDIR}")
    set(link_dir "${CMAKE_INSTALL_LIBEXECDIR}/${folder}")
  else()
    set(link_dir "\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/${folder}")
  endif()
  install(CODE "
    set(link_dir \"\$ENV{DESTDIR}${link_dir}\")
    message(STATUS \"Installing: \${link_dir}/${name} -> ${target}\")
    file(MAKE_DIRECTORY \"\${link_dir}\")
    file(REMOVE \"\${link_dir}/${name}\")
    file(CREATE_LINK \"${target}\" \"\${link_dir}/${name}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link_dir}/${name}\")
  ")
endfunction()
lumora_install_program_link(xscreensaver lumora)
lumora_install_program_link(lumora saver_lumora)

# The manual page, gzipped as Debian wants it, written at install time for the prefix it lands in.
install(CODE "
  set(LUMORA_MAN_SOURCE \"${LUMORA_PACKAGING_DIR}/lumora.1.in\")
  set(LUMORA_MAN_WORK \"${CMAKE_BINARY_DIR}/man\")
  set(LUMORA_VERSION \"${PROJECT_VERSION}\")
  set(LUMORA_DATADIR_REL \"${CMAKE_INSTALL_DATADIR}\")
  set(LUMORA_LIBEXECDIR_REL \"${CMAKE_INSTALL_LIBEXECDIR}\")
  set(LUMORA_MANDIR_REL \"${CMAKE_INSTALL_MANDIR}\")
  include(\"${CMAKE_SOURCE_DIR}/cmake/InstallManPage.cmake\")
")

# The package's own documents: the copyright and the changelog, gzipped like the manual page.
set(LUMORA_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${LUMORA_CHANGELOG_GZ}
  COMMAND gzip -9n -c ${LUMORA_PACKAGING_DIR}/changelog.Debian > ${LUMORA_CHANGELOG_GZ}
  DEPENDS ${LUMORA_PACKAGING_DIR}/changelog.Debian
  COMMENT "Compressing the Debian changelog" VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${LUMORA_CHANGELOG_GZ})
install(FILES ${LUMORA_PACKAGING_DIR}/copyright ${LUMORA_CHANGELOG_GZ}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package version is the project's and the Debian revision of the changelog's newest entry; the
# two must agree, or the package would carry a changelog that does not describe it.
file(STRINGS ${LUMORA_PACKAGING_DIR}/changelog.Debian changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^lumora \\(([^)-]+)-([^)]+)\\)")
  message(FATAL_ERROR "packaging/changelog.Debian does not start with \"lumora (VERSION-REVISION)\"")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog.Debian's newest entry is for ${CMAKE_MATCH_1}, the project is "
                      "version ${PROJECT_VERSION}: add an entry for it")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})

set(LUMORA_MAINTAINER "Larkspur Software <lumora@larkspur-software.example>"
    CACHE STRING "The Maintainer of the Debian package")
set(CPACK_PACKAGE_NAME lumora)
set(CPACK_PACKAGE_VENDOR "Larkspur Software")
set(CPACK_PACKAGE_CONTACT "${LUMORA_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "video and multimedia screen saver for X11")
set(CPACK_PACKAGE_DESCRIPTION
"Lumora plays your own video and sound files as a screen saver: one file in
a loop, or a play list in order or at random, full screen or in a smaller
player that can float and bounce over a changing colour gradient. It ends
the moment the mouse or the keyboard is touched.
.
It runs on its own (lumora /s, for xss-lock or xautolock), as xsecurelock's
saver, and as a hack of xscreensaver and mate-screensaver, with a settings
page in xscreensaver-settings. A configuration dialog (lumora /c) chooses the files,
the play list and how they are shown.")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LUMORA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.larkspur-software.example/lumora/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Either daemon runs it as a hack, xsecurelock as its saver; on its own it needs none of them.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | mate-screensaver | xsecurelock | xss-lock | xautolock | swayidle")
# Without Qt's Wayland platform a Wayland session runs it through XWayland, under the panels.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
