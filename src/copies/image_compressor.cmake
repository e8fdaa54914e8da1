# Still-image copies: decoding (libvips, exiv2 previews, LibRaw), the quality ladder and the atomic write.
target_sources(vorlane_copies PRIVATE
  ffi/libraw_handle.h
  ffi/vips_blob.h
  ffi/vips_kill_switch.cpp ffi/vips_kill_switch.h
  ffi/vips_runtime.cpp ffi/vips_runtime.h
  image_compressor.cpp image_compressor.h
  image_decode_error.h
  image_decoder.cpp image_decoder.h
  image_geometry.cpp image_geometry.h
  heif_orientation.cpp heif_orientation.h
  image_pipeline.cpp image_pipeline.h
  quality_ladder.cpp quality_ladder.h
  raw_decoder.cpp raw_decoder.h)
target_link_libraries(vorlane_copies PUBLIC PkgConfig::VIPS PRIVATE PkgConfig::LIBRAW PkgConfig::EXIV2)
