# Shared helpers for the project's targets.

set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTOUIC ON)
set(CMAKE_AUTORCC ON)

# ambrel_glob_sources(<out-var> <dir>...): every C++ source, header and form below the folders.
function(ambrel_glob_sources out)
  set(files)
  foreach(dir ${ARGN})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      ${CMAKE_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_SOURCE_DIR}/${dir}/*.h
      ${CMAKE_SOURCE_DIR}/${dir}/*.hpp ${CMAKE_SOURCE_DIR}/${dir}/*.ui)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# ambrel_add_test(<name> SOURCES ... LIBS ... [GUI] [DISPLAY] [WEBENGINE])
# A GoogleTest binary registered with ctest; GUI tests run on the offscreen platform, DISPLAY
# tests (OpenGL, drawn pages) on the X display that ./test.sh provides. WEBENGINE tests (they
# load Qt WebEngine) run offscreen under the label "webengine", for the sanitizer suite's
# leak suppressions of their own.
function(ambrel_add_test name)
  cmake_parse_arguments(T "GUI;DISPLAY;WEBENGINE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
  if(NOT T_LIBS MATCHES "ambrel::testmain")
    target_link_libraries(${name} PRIVATE ambrel::testmain)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(platform offscreen)
  set(labels offscreen)
  if(T_DISPLAY)
    set(platform xcb)
    set(labels display)
  elseif(T_WEBENGINE)
    set(labels webengine)
  endif()
  set(env "QT_QPA_PLATFORM=${platform}" "AMBREL_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
          "PATH=${CMAKE_BINARY_DIR}/bin:$ENV{PATH}")
  # Sanitized code runs several times slower, the more so on a busy machine.
  set(timeout 120)
  if(AMBREL_ASAN)
    set(timeout 300)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${timeout} LABELS ${labels}
    DISCOVERY_TIMEOUT 60)
endfunction()

# ambrel_add_library(<name> [INCLUDE <dir>] LIBS ...): a static library from every source below
# the current folder (an interface library while it has none), aliased ambrel::<name>.
function(ambrel_add_library name)
  cmake_parse_arguments(L "" "INCLUDE" "LIBS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  file(GLOB_RECURSE hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  if(NOT L_INCLUDE)
    set(L_INCLUDE ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  if(srcs)
    add_library(ambrel_${name} STATIC ${srcs} ${hdrs})
    target_include_directories(ambrel_${name} PUBLIC ${L_INCLUDE})
    target_link_libraries(ambrel_${name} PUBLIC ${L_LIBS})
  else()
    add_library(ambrel_${name} INTERFACE)
    target_include_directories(ambrel_${name} INTERFACE ${L_INCLUDE})
    target_link_libraries(ambrel_${name} INTERFACE ${L_LIBS})
  endif()
  add_library(ambrel::${name} ALIAS ambrel_${name})
endfunction()
