# Floating panels: EWMH hints and input shapes on the application's own X connection.
pkg_check_modules(PANELS_XCB REQUIRED IMPORTED_TARGET xcb xcb-shape)
target_link_libraries(tavro_platform PUBLIC Qt6::Gui PkgConfig::PANELS_XCB)
