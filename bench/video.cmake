# The video compressor on its own, timed by video_bench.sh against the ffmpeg command line.
add_executable(video_compress_bench ${CMAKE_CURRENT_LIST_DIR}/video_compress_bench.cpp)
target_link_libraries(video_compress_bench PRIVATE vorlane_copies)
