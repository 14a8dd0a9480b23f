# Widget tests: screenshots of the panels go to the build folder as artifacts.
target_link_libraries(test_desktop PRIVATE Qt6::Widgets Qt6::DBus Qt6::Test)
target_compile_definitions(test_desktop PRIVATE
                           TAVRO_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts/desktop")
