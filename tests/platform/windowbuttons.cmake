# The button layout tests write GSettings in memory through GIO.
pkg_check_modules(TEST_WINDOWBUTTONS_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(test_platform PRIVATE PkgConfig::TEST_WINDOWBUTTONS_GIO)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/WindowButtonLayoutReaderTest.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
