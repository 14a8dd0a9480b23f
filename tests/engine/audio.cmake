# The kill test records in a child process of its own and kills it.
add_executable(tavro_record_child ${CMAKE_CURRENT_SOURCE_DIR}/record-child/RecordChild.cpp)
target_link_libraries(tavro_record_child PRIVATE tavro_engine)
add_dependencies(test_engine tavro_record_child)
target_compile_definitions(test_engine PRIVATE
                           TAVRO_RECORD_CHILD="$<TARGET_FILE:tavro_record_child>")
# Plays beeps into two sinks at once from a process of its own.
add_executable(tavro_twin_player ${CMAKE_CURRENT_SOURCE_DIR}/twin-player/TwinPlayer.cpp)
target_link_libraries(tavro_twin_player PRIVATE tavro_testsupport)
add_dependencies(test_engine tavro_twin_player)
target_compile_definitions(test_engine PRIVATE
                           TAVRO_TWIN_PLAYER="$<TARGET_FILE:tavro_twin_player>")
