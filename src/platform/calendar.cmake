# Calendar store over evolution-data-server; conversions over libical.
pkg_check_modules(TAVRO_CAL_EDS REQUIRED IMPORTED_TARGET libecal-2.0 libedataserver-1.2)
pkg_check_modules(TAVRO_CAL_ICAL REQUIRED IMPORTED_TARGET libical)
target_link_libraries(tavro_platform PUBLIC PkgConfig::TAVRO_CAL_ICAL PRIVATE PkgConfig::TAVRO_CAL_EDS)
# The GLib headers name struct members "signals"; Qt's keywords must stay off there.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/EdsCalendarStore.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
