# Raising the app's windows needs a GUI application, so those tests have an executable of their
# own with a QGuiApplication. The vision fixture stands in for another application.
add_executable(test_platform_gui ${CMAKE_CURRENT_LIST_DIR}/gui/main.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/gui/BringToFrontTest.cpp)
target_include_directories(test_platform_gui PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(test_platform_gui PRIVATE tavro_platform tavro_testsupport Qt6::Gui
                      GTest::gtest)
add_dependencies(test_platform_gui vision_fixture)
target_compile_definitions(test_platform_gui PRIVATE
    TAVRO_VISION_FIXTURE="$<TARGET_FILE:vision_fixture>")
gtest_discover_tests(test_platform_gui DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS platform TIMEOUT 300 RESOURCE_LOCK x11)
