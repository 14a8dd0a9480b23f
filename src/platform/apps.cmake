# The desktop's default applications (the calendar), through GIO.
pkg_check_modules(TAVRO_APPS_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_APPS_GIO)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/CalendarApplication.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
