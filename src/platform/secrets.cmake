# Secrets over the desktop's Secret Service.
pkg_check_modules(TAVRO_SECRETS REQUIRED IMPORTED_TARGET libsecret-1)
target_link_libraries(tavro_platform PRIVATE PkgConfig::TAVRO_SECRETS)
# GLib's headers name members after Qt's keywords, which the precompiled header defines.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/SecretStore.cpp
                            PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
