target_link_libraries(test_platform PRIVATE Qt6::Test)
