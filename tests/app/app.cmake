# The launch tests run the built `tavro` as well, and keep screenshots as artifacts.
target_link_libraries(test_app PRIVATE tavro_fakeservice Qt6::Widgets Qt6::Network Qt6::Test)
add_dependencies(test_app tavro)
target_compile_definitions(test_app PRIVATE
                           TAVRO_APP_BINARY="$<TARGET_FILE:tavro>"
                           TAVRO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                           TAVRO_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts/app")
