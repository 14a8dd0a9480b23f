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

# Parsing the standard library's, Qt's and GoogleTest's headers and instantiating the same
# templates again in every source file are most of the sanitizer build's compile time. A target
# with a few sources precompiles those headers once (cmake/TavroPrecompiled.h) and compiles its
# sources in batches of up to 16 (unity build). A source that cannot share a batch (a helper
# name in an anonymous namespace that another file uses too, a type from one held in a class)
# is marked SKIP_UNITY_BUILD_INCLUSION in its folder; the build says which, as a redefinition.
function(_tavro_share_parsing target)
  get_target_property(_srcs ${target} SOURCES)
  list(FILTER _srcs INCLUDE REGEX "\\.cpp$")
  list(LENGTH _srcs _count)
  if(_count LESS 4)
    return()  # building the header would cost more than it saves
  endif()
  target_precompile_headers(${target} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/TavroPrecompiled.h)
  set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)
  # A source with its own definitions (QT_NO_KEYWORDS beside GLib) would not match the header.
  foreach(src IN LISTS _srcs)
    get_source_file_property(_defs ${src} COMPILE_DEFINITIONS)
    get_source_file_property(_opts ${src} COMPILE_OPTIONS)
    get_source_file_property(_skip ${src} SKIP_PRECOMPILE_HEADERS)
    if(_defs OR _opts OR _skip)
      set_source_files_properties(${src} PROPERTIES SKIP_PRECOMPILE_HEADERS ON
                                                    SKIP_UNITY_BUILD_INCLUSION ON)
    endif()
  endforeach()
endfunction()

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
  _tavro_share_parsing(${name})
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
  _tavro_share_parsing(${name})
endfunction()
