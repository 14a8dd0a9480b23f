# The windows over real stores, the engine against the fake service, and screenshots of the
# windows kept in the build folder as artifacts.
target_link_libraries(test_ui PRIVATE tavro_fakeservice Qt6::Widgets Qt6::DBus Qt6::Test)
target_compile_definitions(test_ui PRIVATE TAVRO_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts/ui")
add_dependencies(test_ui tavro-document-text)
target_compile_definitions(test_ui PRIVATE TAVRO_DOCUMENT_TEXT_PROGRAM="$<TARGET_FILE:tavro-document-text>")
