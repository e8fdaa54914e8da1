# Tests of the top bar, the settings panel and the preview overlay.
target_sources(ui_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/chrome_test_support.h
  ${CMAKE_CURRENT_LIST_DIR}/preview_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_panel_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/top_bar_test.cpp)
