# The service client's HTTP transport.
pkg_check_modules(TAVRO_CURL REQUIRED IMPORTED_TARGET GLOBAL libcurl)
target_link_libraries(tavro_service PUBLIC PkgConfig::TAVRO_CURL)
