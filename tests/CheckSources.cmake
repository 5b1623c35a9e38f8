# Source rules that the compiler does not check, run by CTest:
#
#   cmake -DROOT=<tree> -DCHECK=layers -P CheckSources.cmake
#     The std-only folders include only the C++ standard library and the std-only folders
#     (no Qt, no OS header), each of common/ link/ params/ telemetry/ service/ terminal/
#     only itself and those left of it in that order; app/logic/ and the simulator's model
#     (sim/ but its POSIX line, runner, program, demo and per-OS files) may include every std-only folder;
#     serial/ includes nothing from the folders above it; device/ includes no Qt.
#   cmake -DROOT=<tree> -DCHECK=qt_test_macros -P CheckSources.cmake
#     No GoogleTest file under tests/ uses Qt Test's checking macros (the TRY_ family,
#     COMPARE, VERIFY, FAIL, each with Qt's "Q" in front): they report to Qt Test, so a failed
#     one leaves the test passing. The names are pieced together below, so that this file
#     itself never spells one.
#   cmake -DROOT=<scratch dir> -DCHECK=selftest -P CheckSources.cmake
#     Writes a small tree that breaks each rule once, and fails unless every break is found.
#
# Each breach is printed as "path:line: what"; the script fails when there is any.
cmake_minimum_required(VERSION 3.22)

# The headers of the C++ standard library (with the C library's headers in both spellings).
set(STD_HEADERS
  algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex
  concepts condition_variable coroutine deque exception execution expected filesystem format
  forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream
  iterator latch limits list locale map memory memory_resource mutex new numbers numeric
  optional ostream queue random ranges ratio regex scoped_allocator semaphore set
  shared_mutex source_location span sstream stack stdexcept stop_token streambuf string
  string_view syncstream system_error thread tuple type_traits typeindex typeinfo
  unordered_map unordered_set utility valarray variant vector version
  cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg
  cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype
  assert.h ctype.h errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h
  signal.h stdarg.h stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h wchar.h wctype.h)

# Folders of logic that needs nothing but the standard library, lowest first: each may
# include itself and the folders before it.
set(STD_ONLY_DIRS common link params telemetry service terminal)
# The window's logic without Qt; it may include every folder above.
set(APP_LOGIC_DIR app/logic)
# The simulator is its std-only model but for these files: its POSIX line, the runner on it,
# the program, the demo on the in-process serial line, and the per-OS files (sim/posix/, sim/win32/).
set(SIM_LINE_FILES sim/PosixLine.h sim/PosixLine.cpp sim/SimRunner.h sim/SimRunner.cpp sim/Demo.cpp
                    sim/main.cpp)
# What the serial layer must not know.
set(ABOVE_SERIAL_DIRS link telemetry params service terminal device sim widgets app cli)

set(breaches "")
# Qt Test's checking macros, named without spelling them.
set(Q "Q")
set(QT_TEST_MACROS "${Q}TRY_[A-Z_]+|${Q}COMPARE|${Q}VERIFY[A-Z0-9_]*|${Q}FAIL")
macro(breach file line text)
  string(APPEND breaches "${file}:${line}: ${text}\n")
endmacro()

# The lines of a file as a list (semicolons and brackets blanked, empty lines kept).
function(read_lines path out_var)
  file(READ "${path}" text)
  string(REGEX REPLACE "[][;\\]" " " text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# The #include lines of a file, each as "line|<or\"|header".
function(each_include rel out_var)
  read_lines("${ROOT}/${rel}" lines)
  set(n 0)
  set(found "")
  foreach(l IN LISTS lines)
    math(EXPR n "${n} + 1")
    if(l MATCHES "^[ \t]*#[ \t]*include[ \t]*([<\"])([^>\"]+)[>\"]")
      list(APPEND found "${n}|${CMAKE_MATCH_1}|${CMAKE_MATCH_2}")
    endif()
  endforeach()
  set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# Sets line, kind (< or ") and header from an entry of each_include.
macro(split_include entry)
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 line)
  list(GET parts 1 kind)
  list(GET parts 2 header)
endmacro()

# The folder a quoted project include names ("link/FrameCodec.h" -> link,
# "app/logic/LayoutRules.h" -> app/logic), or "".
function(project_dir header out_var)
  if(header MATCHES "^(${APP_LOGIC_DIR})/")
    set(${out_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  elseif(header MATCHES "^([A-Za-z_]+)/")
    set(${out_var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
  else()
    set(${out_var} "" PARENT_SCOPE)
  endif()
endfunction()

function(sources_under dir out_var)
  file(GLOB_RECURSE found RELATIVE "${ROOT}" "${ROOT}/${dir}/*.h" "${ROOT}/${dir}/*.cpp")
  set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

# Std-only: standard headers and the allowed project folders only.
function(check_std_only rel allowed_dirs)
  each_include("${rel}" incs)
  foreach(i IN LISTS incs)
    split_include("${i}")
    if(kind STREQUAL "<")
      if(NOT header IN_LIST STD_HEADERS)
        if(header MATCHES "^Q")
          breach("${rel}" ${line} "std-only file includes the Qt header <${header}>")
        else()
          breach("${rel}" ${line} "std-only file includes <${header}>, not a standard C++ header")
        endif()
      endif()
    else()
      project_dir("${header}" d)
      if(d IN_LIST STD_ONLY_DIRS AND NOT d IN_LIST allowed_dirs)
        breach("${rel}" ${line} "includes \"${header}\" from ${d}/, a layer above its own")
      elseif(NOT d IN_LIST allowed_dirs)
        breach("${rel}" ${line} "std-only file includes \"${header}\" from outside the std-only folders")
      endif()
    endif()
  endforeach()
  set(breaches "${breaches}" PARENT_SCOPE)
endfunction()

# Files of `dir` include no Qt header and nothing from the folders `above`.
function(check_no_qt_and_not_above dir above)
  sources_under(${dir} files)
  foreach(f IN LISTS files)
    each_include("${f}" incs)
    foreach(i IN LISTS incs)
      split_include("${i}")
      project_dir("${header}" d)
      if(d IN_LIST above)
        breach("${f}" ${line} "${dir}/ includes \"${header}\" from a layer above it")
      endif()
      if(header MATCHES "^Q")
        breach("${f}" ${line} "${dir}/ includes the Qt header <${header}>")
      endif()
    endforeach()
  endforeach()
  set(breaches "${breaches}" PARENT_SCOPE)
endfunction()

function(check_layers)
  set(allowed "")
  foreach(dir IN LISTS STD_ONLY_DIRS)
    list(APPEND allowed ${dir})
    sources_under(${dir} files)
    foreach(f IN LISTS files)
      check_std_only("${f}" "${allowed}")
    endforeach()
  endforeach()
  sources_under(${APP_LOGIC_DIR} files)
  foreach(f IN LISTS files)
    check_std_only("${f}" "${STD_ONLY_DIRS};${APP_LOGIC_DIR}")
  endforeach()
  sources_under(sim files)
  foreach(f IN LISTS files)
    if(NOT f IN_LIST SIM_LINE_FILES AND NOT f MATCHES "^sim/(posix|win32)/")
      check_std_only("${f}" "${STD_ONLY_DIRS};sim")
    endif()
  endforeach()

  check_no_qt_and_not_above(serial "${ABOVE_SERIAL_DIRS}")
  check_no_qt_and_not_above(device "widgets;app")
  set(breaches "${breaches}" PARENT_SCOPE)
endfunction()

function(check_qt_test_macros)
  sources_under(tests files)
  foreach(f IN LISTS files)
    file(READ "${ROOT}/${f}" text)
    if(NOT text MATCHES "#[ \t]*include[ \t]*[<\"]gtest/")
      continue()
    endif()
    read_lines("${ROOT}/${f}" lines)
    set(n 0)
    foreach(l IN LISTS lines)
      math(EXPR n "${n} + 1")
      if(l MATCHES "(^|[^A-Za-z0-9_])(${QT_TEST_MACROS})[ \t]*\\(")
        breach("${f}" ${n} "${CMAKE_MATCH_2} in a GoogleTest file: its failure would not fail the test")
      endif()
    endforeach()
  endforeach()
  set(breaches "${breaches}" PARENT_SCOPE)
endfunction()

if(NOT DEFINED ROOT OR NOT DEFINED CHECK)
  message(FATAL_ERROR "usage: cmake -DROOT=<tree> -DCHECK=layers|qt_test_macros|selftest -P CheckSources.cmake")
endif()

if(CHECK STREQUAL "layers")
  check_layers()
elseif(CHECK STREQUAL "qt_test_macros")
  check_qt_test_macros()
elseif(CHECK STREQUAL "selftest")
  # One break of each rule, and a clean file of each kind beside it.
  file(REMOVE_RECURSE "${ROOT}")
  file(WRITE "${ROOT}/link/Qt.h" "#include <cstdint>\n#include <QString>\n")
  file(WRITE "${ROOT}/params/Os.cpp" "#include \"params/Os.h\"\n#include <unistd.h>\n")
  file(WRITE "${ROOT}/terminal/Sys.h" "#include <sys/stat.h>\n")
  file(WRITE "${ROOT}/service/Up.cpp" "#include \"serial/ComPort.h\"\n")
  file(WRITE "${ROOT}/telemetry/Clean.h" "#include <vector>\n#include \"link/FrameCodec.h\"\n#include \"params/Catalog.h\"\n")
  # Each folder including the next one up.
  file(WRITE "${ROOT}/common/Up.h" "#include \"link/FrameCodec.h\"\n")
  file(WRITE "${ROOT}/link/Up.h" "#include \"params/Catalog.h\"\n")
  file(WRITE "${ROOT}/params/Up.h" "#include \"telemetry/StatusRecord.h\"\n")
  file(WRITE "${ROOT}/telemetry/Up.h" "#include \"service/Journal.h\"\n")
  file(WRITE "${ROOT}/service/Up.h" "#include \"terminal/Terminal.h\"\n")
  file(WRITE "${ROOT}/terminal/Clean.h" "#include \"service/Journal.h\"\n#include \"common/Cp1251.h\"\n")
  file(WRITE "${ROOT}/app/logic/Up.h" "#include \"terminal/Terminal.h\"\n#include \"app/logic/LayoutRules.h\"\n#include \"app/Unit1.h\"\n#include <QWidget>\n")
  file(WRITE "${ROOT}/sim/ControllerCore.cpp" "#include <termios.h>\n")
  file(WRITE "${ROOT}/sim/PosixLine.cpp" "#include <termios.h>\n")
  file(WRITE "${ROOT}/sim/NewPart.h" "#include \"serial/ComPort.h\"\n")
  file(WRITE "${ROOT}/serial/Up.h" "#include <termios.h>\n#include \"link/Transactions.h\"\n")
  file(WRITE "${ROOT}/serial/posix/Deep.cpp" "#include \"device/DeviceLink.h\"\n#include \"common/MainLoop.h\"\n")
  file(WRITE "${ROOT}/device/Qt.cpp" "#include <QObject>\n#include \"serial/ComPort.h\"\n")
  file(WRITE "${ROOT}/tests/x/BadTest.cpp"
       "#include <gtest/gtest.h>\nTEST(A, B) {\n  ${Q}TRY_COMPARE(1, 1);\n  ${Q}VERIFY(true);\n  // ${Q}COMPARE in a comment is no call\n}\n")
  file(WRITE "${ROOT}/tests/x/QtTest.cpp" "#include <QTest>\nvoid f() { ${Q}VERIFY(true); }\n")
  check_layers()
  check_qt_test_macros()
  set(expected
    "link/Qt.h:2:" "params/Os.cpp:2:" "terminal/Sys.h:1:" "service/Up.cpp:1:"
    "common/Up.h:1:" "link/Up.h:1:" "params/Up.h:1:" "telemetry/Up.h:1:" "service/Up.h:1:"
    "app/logic/Up.h:3:" "app/logic/Up.h:4:"
    "sim/ControllerCore.cpp:1:" "sim/NewPart.h:1:" "serial/Up.h:2:" "serial/posix/Deep.cpp:1:" "device/Qt.cpp:1:"
    "tests/x/BadTest.cpp:3:" "tests/x/BadTest.cpp:4:")
  set(unexpected "telemetry/Clean.h" "terminal/Clean.h" "app/logic/Up.h:1:" "app/logic/Up.h:2:" "sim/PosixLine.cpp" "serial/Up.h:1:" "serial/posix/Deep.cpp:2:"
                 "device/Qt.cpp:2:" "tests/x/BadTest.cpp:5:" "tests/x/QtTest.cpp")
  set(failed "")
  foreach(e IN LISTS expected)
    string(FIND "${breaches}" "${e}" at)
    if(at EQUAL -1)
      string(APPEND failed "not found: ${e}\n")
    endif()
  endforeach()
  foreach(e IN LISTS unexpected)
    string(FIND "${breaches}" "${e}" at)
    if(NOT at EQUAL -1)
      string(APPEND failed "wrongly reported: ${e}\n")
    endif()
  endforeach()
  file(REMOVE_RECURSE "${ROOT}")
  if(failed)
    message(FATAL_ERROR "the source checks missed or invented breaches:\n${failed}reported:\n${breaches}")
  endif()
  message(STATUS "every planted breach found, nothing else")
  return()
else()
  message(FATAL_ERROR "unknown check ${CHECK}")
endif()

if(breaches)
  message(FATAL_ERROR "${CHECK}:\n${breaches}")
endif()
message(STATUS "${CHECK}: clean")
