# The tests write their own Word documents.
pkg_check_modules(TAVRO_DOCTEST_ZIP REQUIRED IMPORTED_TARGET libzip)
target_link_libraries(test_documents PRIVATE PkgConfig::TAVRO_DOCTEST_ZIP z)
add_dependencies(test_documents tavro-document-text)
target_compile_definitions(test_documents PRIVATE TAVRO_DOCUMENT_TEXT_PROGRAM="$<TARGET_FILE:tavro-document-text>")
