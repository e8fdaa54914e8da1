# The top bar, the settings panel and the preview overlay with its image and video views.
find_package(Qt6 REQUIRED COMPONENTS Multimedia MultimediaWidgets)
target_sources(vorlane_ui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/large_image_view.cpp ${CMAKE_CURRENT_LIST_DIR}/large_image_view.h
  ${CMAKE_CURRENT_LIST_DIR}/quick_look_overlay.cpp ${CMAKE_CURRENT_LIST_DIR}/quick_look_overlay.h
  ${CMAKE_CURRENT_LIST_DIR}/settings_panel.cpp ${CMAKE_CURRENT_LIST_DIR}/settings_panel.h
  ${CMAKE_CURRENT_LIST_DIR}/top_bar.cpp ${CMAKE_CURRENT_LIST_DIR}/top_bar.h
  ${CMAKE_CURRENT_LIST_DIR}/video_player_view.cpp ${CMAKE_CURRENT_LIST_DIR}/video_player_view.h)
target_link_libraries(vorlane_ui PUBLIC Qt6::Multimedia Qt6::MultimediaWidgets PRIVATE PkgConfig::LIBAV)
