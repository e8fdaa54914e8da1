vorlane_test(image_tests
  SOURCES image_compressor_test.cpp image_decoder_test.cpp raw_decoder_test.cpp image_test_support.cpp image_test_support.h
  LIBS vorlane_copies)
