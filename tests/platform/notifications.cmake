target_link_libraries(test_platform PRIVATE Qt6::DBus Qt6::Test)
