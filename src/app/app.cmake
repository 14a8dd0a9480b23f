# Single instance: the local socket a later start talks to.
target_link_libraries(tavro_app PUBLIC Qt6::Network)

# The `tavro` program; its entry lives in a folder of its own so that the library's glob does
# not take it in.
add_executable(tavro ${CMAKE_CURRENT_SOURCE_DIR}/entry/main.cpp)
target_link_libraries(tavro PRIVATE tavro_app)
set_target_properties(tavro PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
install(TARGETS tavro RUNTIME DESTINATION bin)
