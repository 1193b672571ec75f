# The Debian package, made by CPack (scripts/build-deb): the show and the
# capture tool, the soundtrack and pictures that make-standins writes, a menu
# entry with icons rendered from a frame of the show by orvane-capture, the
# manual pages, copyright and changelog. Everything generated is made here,
# at build time, under package/ in the build folder.

# The version and the maintainer come from the changelog's latest entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog changelog_lines)
list(GET changelog_lines 0 changelog_top)
if(NOT changelog_top MATCHES "^orvane \\(([^)]+)\\) ")
  message(FATAL_ERROR "packaging/changelog does not start with an orvane entry: ${changelog_top}")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog's latest entry is ${CMAKE_MATCH_1}, the project is ${PROJECT_VERSION}: add an entry")
endif()
foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^ -- (.+ <[^>]+>)  ")
    set(maintainer "${CMAKE_MATCH_1}")
    break()
  endif()
endforeach()

# The show's files go where the program looks for them.
file(RELATIVE_PATH data_destination ${CMAKE_INSTALL_PREFIX} "${ORVANE_DATA_FOLDER}")
if(ORVANE_DATA_FOLDER STREQUAL "" OR data_destination MATCHES "^\\.\\.")
  message(FATAL_ERROR "ORVANE_DATA_FOLDER (${ORVANE_DATA_FOLDER}) must lie under the install prefix ${CMAKE_INSTALL_PREFIX}")
endif()

set(package_dir ${CMAKE_CURRENT_BINARY_DIR}/package)
# A fresh folder each time: make-standins leaves files that exist alone.
add_custom_command(OUTPUT ${package_dir}/data.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir}/data
  COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}/data
  COMMAND make-standins ${package_dir}/data
  COMMAND ${CMAKE_COMMAND} -E touch ${package_dir}/data.stamp
  DEPENDS make-standins
  COMMENT "Writing the soundtrack and the pictures")

# The icon: the ring and a square at 72.4 s, a square cut from the frame,
# scaled by ffmpeg with Lanczos filtering.
set(icon_sizes 48 128 256)
set(icon_moment 72400)
set(icon_crop 600:600:25:0)
set(icon_commands)
foreach(size IN LISTS icon_sizes)
  list(APPEND icon_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}/icons/${size}
    COMMAND ffmpeg -v error -y -i ${package_dir}/icons/still-${icon_moment}.png
      -vf crop=${icon_crop},scale=${size}:${size}:flags=lanczos ${package_dir}/icons/${size}/orvane.png)
endforeach()
add_custom_command(OUTPUT ${package_dir}/icons.stamp
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${package_dir}/icons
  COMMAND ${CMAKE_COMMAND} -E make_directory ${package_dir}/icons
  COMMAND orvane-capture --folder ${package_dir}/data --still ${icon_moment} --out-dir ${package_dir}/icons
  ${icon_commands}
  COMMAND ${CMAKE_COMMAND} -E touch ${package_dir}/icons.stamp
  DEPENDS orvane-capture ${package_dir}/data.stamp
  COMMENT "Rendering the icons from a frame of the show")

# The copyright file in Debian's machine-readable form, its licence text
# taken from LICENSE: lines indented by one space, empty ones written " .".
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
string(FIND "${licence}" "Permission is hereby granted" licence_start)
if(licence_start LESS 0)
  message(FATAL_ERROR "LICENSE does not hold the MIT licence's text")
endif()
string(SUBSTRING "${licence}" ${licence_start} -1 licence)
string(STRIP "${licence}" licence)
string(REPLACE "\n" "\n " licence "${licence}")
string(REPLACE "\n \n" "\n .\n" licence "${licence}")
set(EXPAT_TEXT " ${licence}")
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${package_dir}/copyright @ONLY)

# Manual pages and the changelog, compressed as Debian wants them.
set(compressed)
foreach(page orvane.6 orvane-capture.6)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${page} ${package_dir}/${page} @ONLY)
  list(APPEND compressed ${package_dir}/${page})
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog ${package_dir}/changelog COPYONLY)
list(APPEND compressed ${package_dir}/changelog)
set(compressed_outputs)
foreach(file IN LISTS compressed)
  add_custom_command(OUTPUT ${file}.gz
    COMMAND gzip -9 -n -f -k ${file}
    DEPENDS ${file})
  list(APPEND compressed_outputs ${file}.gz)
endforeach()

add_custom_target(orvane-package-files ALL
  DEPENDS ${package_dir}/data.stamp ${package_dir}/icons.stamp ${compressed_outputs})

# Installing builds only what the package holds, not the benches.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS orvane orvane-capture RUNTIME DESTINATION games)
install(DIRECTORY ${package_dir}/data/ DESTINATION ${data_destination})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/orvane.desktop DESTINATION share/applications)
foreach(size IN LISTS icon_sizes)
  install(FILES ${package_dir}/icons/${size}/orvane.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${package_dir}/orvane.6.gz ${package_dir}/orvane-capture.6.gz DESTINATION share/man/man6)
install(FILES ${package_dir}/copyright ${package_dir}/changelog.gz DESTINATION share/doc/orvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT "${maintainer}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# dpkg-shlibdeps finds the linked libraries. OpenGL and GLUT are opened at
# run time by name, which it cannot see: they are named here, once, and the
# package's test checks them against what the program loads.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libglut3.12")
# orvane-capture encodes videos with ffmpeg, and starts Xvfb where there is
# no display.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ffmpeg")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "self-running real-time graphics show
Orvane plays a tracker-module soundtrack and, for the length of the music,
draws seven timed OpenGL effects kept in step with it. Nobody operates it: it
ends when the music ends, after about three and a half minutes, or at once on
Escape. It runs full screen in 800 by 600, or in a window with --window.
The package holds its own soundtrack and pictures, and orvane-capture, which
renders stills and, with ffmpeg, videos of the show without a display.")
include(CPack)
