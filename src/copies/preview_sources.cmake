# Pictures for thumbnails and previews that are not copies: a frame out of a video.
target_sources(vorlane_copies PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/video_frame_grabber.cpp ${CMAKE_CURRENT_LIST_DIR}/video_frame_grabber.h)
