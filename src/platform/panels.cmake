# Floating panels: EWMH hints, input shapes and the compositing manager's selection on the
# application's own X connection.
pkg_check_modules(PANELS_XCB REQUIRED IMPORTED_TARGET xcb xcb-shape xcb-xfixes)
target_link_libraries(tavro_platform PUBLIC Qt6::Gui PkgConfig::PANELS_XCB)
