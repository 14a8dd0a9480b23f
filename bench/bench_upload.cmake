# The fake service is declared with the tests; a build without tests declares it here.
if(NOT TARGET tavro_fakeservice)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/fakeservice ${CMAKE_BINARY_DIR}/bench-fakeservice)
endif()
target_link_libraries(bench_upload PRIVATE tavro_service tavro_fakeservice)
