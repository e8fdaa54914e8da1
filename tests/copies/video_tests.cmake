vorlane_test(video_tests SOURCES video_compressor_test.cpp media_probe.cpp media_probe.h LIBS vorlane_copies)
