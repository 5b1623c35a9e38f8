# Install rules and the files of the packages (scripts/package.sh makes them: the Debian package from
# the native build, the Windows zip and installer from the cross-build).
#
# install(TARGETS) puts the programs this build has into bin/ (on Windows into the top folder);
# `cmake --install --strip` strips them. The target `packaged-programs` builds exactly those.
# With -DLUM_PACKAGING=ON (native build) the build also makes what the Debian package carries
# besides the programs: man pages from the programs' --help (help2man), the 256 px icon from its
# SVG (rsvg-convert), the compressed changelog; the install rules then add them, the desktop entry,
# the AppStream metainfo, the bash completion of lumctl and the copyright file.
include(GNUInstallDirs)

set(LUM_PACKAGE_NAME lum-configurator)
set(LUM_APP_ID ru.lum.configurator)  # desktop entry, metainfo and icon name
set(LUM_MAINTAINER "LUM Configurator maintainers <maintainers@users.noreply.c-seed-feab57ce.example>")
set(LUM_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging)

set(lum_programs lumctl)
foreach(program controller-sim configurator)
  if(TARGET ${program})
    list(APPEND lum_programs ${program})
  endif()
endforeach()
if(WIN32)
  install(TARGETS ${lum_programs} RUNTIME DESTINATION .)
else()
  install(TARGETS ${lum_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
add_custom_target(packaged-programs DEPENDS ${lum_programs})

option(LUM_PACKAGING "Build the Debian package's generated files (man pages, icon, changelog)" OFF)
# What scripts/package.sh reads of this build: names, version, the programs it has.
string(REPLACE ";" " " LUM_PACKAGED_PROGRAMS "${lum_programs}")
configure_file(${LUM_PACKAGING_DIR}/package.env.in ${CMAKE_BINARY_DIR}/packaging/package.env @ONLY)

if(NOT LUM_PACKAGING OR WIN32)
  return()
endif()

find_program(LUM_HELP2MAN help2man REQUIRED)
find_program(LUM_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(LUM_GZIP gzip REQUIRED)
find_program(LUM_DATE date REQUIRED)

# The changelog's newest entry must be this version; its date dates the man pages and the release
# in the metainfo.
file(STRINGS ${LUM_PACKAGING_DIR}/changelog lum_changelog_head LIMIT_COUNT 1)
if(NOT lum_changelog_head MATCHES "^${LUM_PACKAGE_NAME} \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog: the newest entry is not ${LUM_PACKAGE_NAME} (${PROJECT_VERSION}): "
                      "${lum_changelog_head}")
endif()
file(STRINGS ${LUM_PACKAGING_DIR}/changelog lum_changelog_trailers REGEX "^ -- ")
list(GET lum_changelog_trailers 0 lum_changelog_trailer)
string(REGEX REPLACE "^ -- .*>  " "" lum_release_time "${lum_changelog_trailer}")
execute_process(COMMAND ${LUM_DATE} -u -d "${lum_release_time}" +%s
                OUTPUT_VARIABLE LUM_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${LUM_DATE} -u -d "${lum_release_time}" +%F
                OUTPUT_VARIABLE LUM_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

set(lum_out ${CMAKE_BINARY_DIR}/packaging)
set(lum_generated)

# Man pages from --help and --version, Russian text intact (help2man needs a UTF-8 locale for it).
# configurator answers --help before it opens a window; Qt's offscreen platform lets it start
# without a display. packaging/man/<program>.h2m gives each page its NAME line (help2man takes
# Cyrillic from a file intact, not from its command line) and sections of its own.
foreach(program ${lum_programs})
  set(page ${lum_out}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen SOURCE_DATE_EPOCH=${LUM_RELEASE_EPOCH}
            ${LUM_HELP2MAN} --locale=C.UTF-8 --no-info --no-discard-stderr
            --version-string=${PROJECT_VERSION} --include=${LUM_PACKAGING_DIR}/man/${program}.h2m
            --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${LUM_GZIP} -9nf ${page}
    DEPENDS ${program} ${LUM_PACKAGING_DIR}/man/${program}.h2m
    COMMENT "Man page of ${program}" VERBATIM)
  list(APPEND lum_generated ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

set(lum_icon_svg ${CMAKE_CURRENT_SOURCE_DIR}/app/resources/configurator.svg)
add_custom_command(OUTPUT ${lum_out}/${LUM_APP_ID}.png
  COMMAND ${LUM_RSVG_CONVERT} -w 256 -h 256 -o ${lum_out}/${LUM_APP_ID}.png ${lum_icon_svg}
  DEPENDS ${lum_icon_svg} COMMENT "Icon, 256 px" VERBATIM)
add_custom_command(OUTPUT ${lum_out}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${LUM_PACKAGING_DIR}/changelog ${lum_out}/changelog
  COMMAND ${LUM_GZIP} -9nf ${lum_out}/changelog
  DEPENDS ${LUM_PACKAGING_DIR}/changelog COMMENT "Changelog" VERBATIM)
list(APPEND lum_generated ${lum_out}/${LUM_APP_ID}.png ${lum_out}/changelog.gz)
add_custom_target(package-files ALL DEPENDS ${lum_generated})
add_dependencies(packaged-programs package-files)

configure_file(${LUM_PACKAGING_DIR}/${LUM_APP_ID}.metainfo.xml.in ${lum_out}/${LUM_APP_ID}.metainfo.xml @ONLY)
configure_file(${LUM_PACKAGING_DIR}/control.in ${lum_out}/control @ONLY)

set(lum_doc ${CMAKE_INSTALL_DATADIR}/doc/${LUM_PACKAGE_NAME})
install(FILES ${lum_out}/changelog.gz ${LUM_PACKAGING_DIR}/copyright DESTINATION ${lum_doc})
install(FILES ${LUM_PACKAGING_DIR}/${LUM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${lum_out}/${LUM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${lum_icon_svg} RENAME ${LUM_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${lum_out}/${LUM_APP_ID}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(FILES ${LUM_PACKAGING_DIR}/lumctl.bash-completion RENAME lumctl
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
