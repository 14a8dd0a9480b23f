# The kill test records in a child process of its own and kills it.
add_executable(tavro_record_child ${CMAKE_CURRENT_SOURCE_DIR}/record-child/RecordChild.cpp)
target_link_libraries(tavro_record_child PRIVATE tavro_engine)
add_dependencies(test_engine tavro_record_child)
target_compile_definitions(test_engine PRIVATE
                           TAVRO_RECORD_CHILD="$<TARGET_FILE:tavro_record_child>")
