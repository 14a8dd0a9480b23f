# The end-to-end watcher test writes events through its own calendar-service client.
pkg_check_modules(TAVRO_CALTEST_D_EDS REQUIRED IMPORTED_TARGET libecal-2.0 libedataserver-1.2)
target_sources(test_desktop PRIVATE ${PROJECT_SOURCE_DIR}/tests/platform/EdsTestCalendar.cpp)
target_link_libraries(test_desktop PRIVATE PkgConfig::TAVRO_CALTEST_D_EDS)
set_source_files_properties(${PROJECT_SOURCE_DIR}/tests/platform/EdsTestCalendar.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
