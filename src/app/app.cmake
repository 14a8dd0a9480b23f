# Single instance: the local socket a later start talks to.
target_link_libraries(tavro_app PUBLIC Qt6::Network)

# The `tavro` program; its entry lives in a folder of its own so that the library's glob does
# not take it in.
add_executable(tavro ${CMAKE_CURRENT_SOURCE_DIR}/entry/main.cpp)
target_link_libraries(tavro PRIVATE tavro_app)
set_target_properties(tavro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
install(TARGETS tavro RUNTIME DESTINATION bin)
if(TAVRO_SANITIZE)
  # The leak check at exit sees libraries that others would have unloaded by then; the tests
  # that run the windows in a Wayland session of their own link it too.
  add_library(tavro_keep_modules OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/entry/KeepModulesLoaded.c)
  target_link_options(tavro_keep_modules INTERFACE -Wl,--export-dynamic-symbol=dlclose)
  target_link_libraries(tavro PRIVATE tavro_keep_modules)
endif()

# The application's icon, from the scalable file the run command installs into the icon theme.
find_package(Qt6 REQUIRED COMPONENTS Svg)
set_target_properties(tavro_app PROPERTIES AUTORCC ON)
target_sources(tavro_app PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/appicon.qrc)
target_link_libraries(tavro_app PUBLIC Qt6::Svg)

# Documents are read by a program of their own, found beside `tavro`.
add_dependencies(tavro tavro-document-text)
