target_link_libraries(tavro_platform PUBLIC Qt6::DBus)
