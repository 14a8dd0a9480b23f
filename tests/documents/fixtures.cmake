# The tests write their own Word and PDF documents, and read them through the reading program.
pkg_check_modules(TAVRO_DOCTEST_ZIP REQUIRED IMPORTED_TARGET libzip)
pkg_check_modules(TAVRO_DOCTEST_Z REQUIRED IMPORTED_TARGET zlib)
target_link_libraries(test_documents PRIVATE PkgConfig::TAVRO_DOCTEST_ZIP PkgConfig::TAVRO_DOCTEST_Z)
add_dependencies(test_documents tavro-document-text)
target_compile_definitions(test_documents PRIVATE
                           TAVRO_DOCUMENT_TEXT_PROGRAM="$<TARGET_FILE:tavro-document-text>")
