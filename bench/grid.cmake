add_executable(vorlane-grid-bench ${CMAKE_CURRENT_LIST_DIR}/grid_bench.cpp)
target_link_libraries(vorlane-grid-bench PRIVATE vorlane_shell Qt6::Concurrent)
