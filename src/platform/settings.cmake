# The desktop's settings: GSettings through GIO, the settings portal through Qt's D-Bus.
target_link_libraries(tavro_platform PUBLIC Qt6::DBus)
pkg_check_modules(TAVRO_SETTINGS_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_SETTINGS_GIO)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/GnomeSetting.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
