target_link_libraries(bench_list_filter PRIVATE tavro_ui_main Qt6::Widgets)
