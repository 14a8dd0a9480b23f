# One static library per source folder; sources are picked up by glob so that adding a
# file never means editing a shared list.

# Lower layers are declared first; a tavro_* layer that has no code yet is simply not linked.
function(_tavro_existing_deps out)
  set(_deps)
  foreach(dep IN LISTS ARGN)
    if(dep MATCHES "^tavro_" AND NOT TARGET ${dep})
      continue()
    endif()
    list(APPEND _deps ${dep})
  endforeach()
  set(${out} ${_deps} PARENT_SCOPE)
endfunction()

# Folders shared by several concerns keep each concern's extra dependencies in its own
# <concern>.cmake fragment beside the sources.
macro(_tavro_include_fragments)
  file(GLOB _frags ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(frag ${_frags})
    include(${frag})
  endforeach()
endmacro()

# SUBDIRS names subfolders whose sources belong to the same library (a window's rooms).
function(tavro_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;SUBDIRS" ${ARGN})
  set(_globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND _globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
  endforeach()
  file(GLOB _srcs CONFIGURE_DEPENDS ${_globs})
  if(NOT _srcs)
    return()  # a folder whose code has not landed yet
  endif()
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  _tavro_existing_deps(_deps ${ARG_DEPS})
  target_link_libraries(${name} PUBLIC ${_deps})
  _tavro_include_fragments()
endfunction()

# One test executable per test folder, every GoogleTest case registered with CTest.
# LOCKS names shared resources (e.g. x11: windows of one process must not cover another's
# while it takes screenshots or places panels); tests holding the same lock never overlap.
function(tavro_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS;LOCKS;SUBDIRS" ${ARGN})
  set(_globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  foreach(sub IN LISTS ARG_SUBDIRS)
    list(APPEND _globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.h)
  endforeach()
  file(GLOB _srcs CONFIGURE_DEPENDS ${_globs})
  if(NOT _srcs)
    return()
  endif()
  add_executable(${name} ${_srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  _tavro_existing_deps(_deps ${ARG_DEPS})
  target_link_libraries(${name} PRIVATE ${_deps} tavro_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300 RESOURCE_LOCK "${ARG_LOCKS}")
  _tavro_include_fragments()
endfunction()
