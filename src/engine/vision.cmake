# The name test runs ICU regular expressions.
target_link_libraries(tavro_engine PRIVATE PkgConfig::ICU)
