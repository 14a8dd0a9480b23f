# Global key events: XInput2 raw events through Xlib.
pkg_check_modules(KEYS_X11 REQUIRED IMPORTED_TARGET x11 xi)
target_link_libraries(tavro_platform PUBLIC PkgConfig::KEYS_X11)
