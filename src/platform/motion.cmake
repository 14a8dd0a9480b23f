# The desktop's setting to reduce motion: GNOME's through GSettings (GIO), the portal over D-Bus.
target_link_libraries(tavro_platform PUBLIC Qt6::DBus)
pkg_check_modules(TAVRO_MOTION_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_MOTION_GIO)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/DesktopMotionSetting.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
