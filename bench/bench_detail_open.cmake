target_link_libraries(bench_detail_open PRIVATE tavro_ui_main Qt6::Widgets Qt6::DBus)
