target_link_libraries(test_engine PRIVATE tavro_fakeservice Qt6::Gui Qt6::Test)
