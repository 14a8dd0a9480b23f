# Child processes: a reaper thread per child.
target_link_libraries(tavro_platform PUBLIC Threads::Threads)
