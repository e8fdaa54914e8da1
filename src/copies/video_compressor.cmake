# The video compressor: FFmpeg's demuxers and decoders in, libx264 + AAC into MP4 out.
target_sources(vorlane_copies PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/video_compressor.cpp ${CMAKE_CURRENT_LIST_DIR}/video_compressor.h
  ${CMAKE_CURRENT_LIST_DIR}/video_transcoder.cpp ${CMAKE_CURRENT_LIST_DIR}/video_transcoder.h
  ${CMAKE_CURRENT_LIST_DIR}/audio_transcoder.cpp ${CMAKE_CURRENT_LIST_DIR}/audio_transcoder.h
  ${CMAKE_CURRENT_LIST_DIR}/display_orientation.cpp ${CMAKE_CURRENT_LIST_DIR}/display_orientation.h
  ${CMAKE_CURRENT_LIST_DIR}/libav_support.cpp ${CMAKE_CURRENT_LIST_DIR}/libav_support.h
  ${CMAKE_CURRENT_LIST_DIR}/ffi/libav_handles.h)
target_link_libraries(vorlane_copies PRIVATE PkgConfig::LIBAV)
