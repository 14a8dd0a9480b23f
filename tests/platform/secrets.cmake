# The secret tests look at the keyring's items through libsecret themselves.
pkg_check_modules(TAVRO_SECRETS_TEST REQUIRED IMPORTED_TARGET libsecret-1)
target_link_libraries(test_platform PRIVATE PkgConfig::TAVRO_SECRETS_TEST)
# GLib's headers name members after Qt's keywords, which the precompiled header defines.
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/SecretStoreTest.cpp
                            PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
