# The X11 test of MeetingVision starts the stand-in meeting window built for the platform tests.
add_dependencies(test_engine vision_fixture)
target_compile_definitions(test_engine PRIVATE
    TAVRO_VISION_FIXTURE="$<TARGET_FILE:vision_fixture>")
