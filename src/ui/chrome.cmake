target_sources(vorlane_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/quick_look_overlay.cpp ${CMAKE_CURRENT_LIST_DIR}/quick_look_overlay.h
  ${CMAKE_CURRENT_LIST_DIR}/top_bar.cpp ${CMAKE_CURRENT_LIST_DIR}/top_bar.h)
