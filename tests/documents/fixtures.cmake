# The tests write their own Word documents.
pkg_check_modules(TAVRO_DOCTEST_ZIP REQUIRED IMPORTED_TARGET libzip)
target_link_libraries(test_documents PRIVATE PkgConfig::TAVRO_DOCTEST_ZIP)
