# vorlane-image-bench: still-image copies of many files on N threads, as the copy scheduler runs them.
add_executable(vorlane-image-bench image_bench.cpp)
target_link_libraries(vorlane-image-bench PRIVATE vorlane_copies)
