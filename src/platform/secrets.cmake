# Secrets over the desktop's Secret Service.
pkg_check_modules(TAVRO_SECRETS REQUIRED IMPORTED_TARGET libsecret-1)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_SECRETS)
