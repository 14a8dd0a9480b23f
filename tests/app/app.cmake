# The launch tests run the built `tavro` as well, and keep screenshots as artifacts. The windows
# and the tray are widgets: the entry is the window tests' one.
target_sources(test_app PRIVATE ${PROJECT_SOURCE_DIR}/tests/ui/main.cpp)
target_link_libraries(test_app PRIVATE tavro_fakeservice Qt6::Widgets Qt6::Network Qt6::Test)
add_dependencies(test_app tavro)
target_compile_definitions(test_app PRIVATE
                           TAVRO_TEST_PRIVATE_MOUNTS
                           TAVRO_APP_BINARY="$<TARGET_FILE:tavro>"
                           TAVRO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                           TAVRO_ARTIFACT_DIR="${CMAKE_BINARY_DIR}/artifacts/app")
# The environment's writers are the test program's own (EnvironmentWrites), also for the
# libraries and plugins that call them.
target_link_options(test_app PRIVATE -Wl,--export-dynamic-symbol=setenv
                    -Wl,--export-dynamic-symbol=unsetenv -Wl,--export-dynamic-symbol=putenv
                    -Wl,--export-dynamic-symbol=clearenv)
