# The bundled symbol set (SVG, drawn with QtSvg) compiled in as a Qt resource.
find_package(Qt6 REQUIRED COMPONENTS Svg)
set_target_properties(tavro_desktop PROPERTIES AUTORCC ON)
target_sources(tavro_desktop PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/icons/icons.qrc)
target_link_libraries(tavro_desktop PUBLIC Qt6::Svg)
