# One static library per source folder; sources are picked up by glob so that adding a
# file never means editing a shared list.
#
# A folder without .cpp files yet gets no target, and deps that name such a missing tavro_*
# target are dropped, so the tree configures while folders are still being filled in.
function(_tavro_existing_deps out)
  set(_deps)
  foreach(_dep IN LISTS ARGN)
    if(_dep MATCHES "^tavro_" AND NOT TARGET ${_dep})
      continue()
    endif()
    list(APPEND _deps ${_dep})
  endforeach()
  set(${out} ${_deps} PARENT_SCOPE)
endfunction()

function(tavro_library name folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB _cpps CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _cpps)
    message(STATUS "${name}: no sources in ${folder} yet, skipped")
    return()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  _tavro_existing_deps(_deps ${ARG_DEPS})
  add_library(${name} STATIC ${_srcs})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${_deps})
endfunction()

# One test executable per test folder, every GoogleTest case registered with CTest.
function(tavro_test name folder)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB _cpps CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _cpps)
    message(STATUS "${name}: no sources in ${folder} yet, skipped")
    return()
  endif()
  file(GLOB _srcs CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.h)
  _tavro_existing_deps(_deps ${ARG_DEPS})
  add_executable(${name} ${_srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${_deps} tavro_testsupport GTest::gtest GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 300)
endfunction()
