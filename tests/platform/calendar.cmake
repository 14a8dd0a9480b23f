# Real calendar-service tests write events through their own client.
pkg_check_modules(TAVRO_CALTEST_P_EDS REQUIRED IMPORTED_TARGET libecal-2.0 libedataserver-1.2)
target_link_libraries(test_platform PRIVATE PkgConfig::TAVRO_CALTEST_P_EDS)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/EdsTestCalendar.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
