# Opening addresses through the desktop's default applications (GIO); raising windows needs
# Qt's GUI module.
pkg_check_modules(TAVRO_DESKTOP_GIO REQUIRED IMPORTED_TARGET gio-2.0)
target_link_libraries(tavro_platform PRIVATE Qt6::Gui PkgConfig::TAVRO_DESKTOP_GIO)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/Desktop.cpp
                            PROPERTIES COMPILE_DEFINITIONS QT_NO_KEYWORDS)
