# The version every program reports (--version): the project's version and the git revision
# of the source tree at configure time ("неизвестна" outside a git checkout). The generated
# header lum_version.h comes through the interface library lum_version.
set(LUM_GIT_REVISION "неизвестна")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty --tags
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE lum_git_describe OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE lum_git_result ERROR_QUIET)
  if(lum_git_result EQUAL 0 AND NOT lum_git_describe STREQUAL "")
    set(LUM_GIT_REVISION "${lum_git_describe}")
  endif()
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/lum_version.h.in ${CMAKE_BINARY_DIR}/generated/lum_version.h @ONLY)
add_library(lum_version INTERFACE)
target_include_directories(lum_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
