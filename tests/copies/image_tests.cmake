vorlane_test(image_tests
  SOURCES atomic_file_test.cpp image_compressor_test.cpp image_decoder_test.cpp raw_decoder_test.cpp image_test_support.cpp image_test_support.h
  LIBS vorlane_copies)
