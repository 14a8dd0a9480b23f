target_link_libraries(bench_ocr PRIVATE tavro_engine Qt6::Core Qt6::Test)
target_include_directories(bench_ocr PRIVATE ${PROJECT_SOURCE_DIR}/tests)
if(TARGET vision_fixture)
  add_dependencies(bench_ocr vision_fixture)
  target_compile_definitions(bench_ocr PRIVATE TAVRO_VISION_FIXTURE="$<TARGET_FILE:vision_fixture>")
else()
  # Tests are off, so the stand-in window is not built; the benchmark then reports its absence.
  target_compile_definitions(bench_ocr PRIVATE TAVRO_VISION_FIXTURE="vision_fixture")
endif()
