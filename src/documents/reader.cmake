# The program that reads a document for the application in a process of its own, beside
# `tavro`. It uses none of the reading side's libraries, hence --as-needed.
add_executable(tavro-document-text ${CMAKE_CURRENT_SOURCE_DIR}/entry/main.cpp)
target_link_libraries(tavro-document-text PRIVATE tavro_documents)
target_link_options(tavro-document-text PRIVATE -Wl,--as-needed)
set_target_properties(tavro-document-text PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
install(TARGETS tavro-document-text RUNTIME DESTINATION bin)
