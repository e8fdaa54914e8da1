add_executable(model_stall_bench ${CMAKE_CURRENT_LIST_DIR}/model_stall_bench.cpp)
target_link_libraries(model_stall_bench PRIVATE vorlane_model Qt6::Core)

add_executable(vorlane-soak ${CMAKE_CURRENT_LIST_DIR}/soak_driver.cpp)
target_link_libraries(vorlane-soak PRIVATE vorlane_shell)
