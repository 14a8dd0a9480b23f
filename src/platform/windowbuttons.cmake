# The desktop's window button layout: GSettings through GIO, the portal through Qt's D-Bus.
pkg_check_modules(TAVRO_WINDOWBUTTONS_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_WINDOWBUTTONS_GIO)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/WindowButtonLayoutReader.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
