# Opening addresses and raising windows need Qt's GUI module.
target_link_libraries(tavro_platform PRIVATE Qt6::Gui)
