# The stand-in meeting window that the vision tests start as a child process.
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_executable(vision_fixture ${CMAKE_CURRENT_LIST_DIR}/fixtures/VisionFixture.cpp)
target_link_libraries(vision_fixture PRIVATE Qt6::Gui)
add_dependencies(test_platform vision_fixture)
target_compile_definitions(test_platform PRIVATE
    TAVRO_VISION_FIXTURE="$<TARGET_FILE:vision_fixture>")
