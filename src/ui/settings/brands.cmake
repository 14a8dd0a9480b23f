# Our own simple marks for the services and tools the tabs name, compiled in as a Qt resource.
find_package(Qt6 REQUIRED COMPONENTS Svg)
set_target_properties(tavro_ui_settings PROPERTIES AUTORCC ON)
target_sources(tavro_ui_settings PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/brands/brands.qrc)
target_link_libraries(tavro_ui_settings PUBLIC Qt6::Svg)
