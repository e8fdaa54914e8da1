# One INTERFACE target carries the language standard, warnings and Qt strictness for all of our code.
add_library(vorlane_options INTERFACE)
target_compile_features(vorlane_options INTERFACE cxx_std_20)
target_compile_options(vorlane_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)

# make test (and so CI) builds with warnings as errors: a new warning fails the build, not just the eye.
option(VORLANE_WERROR "Treat warnings as errors" OFF)
if(VORLANE_WERROR)
  target_compile_options(vorlane_options INTERFACE -Werror)
endif()
target_compile_definitions(vorlane_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_KEYWORDS
  QT_NO_URL_CAST_FROM_STRING)

option(VORLANE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(VORLANE_SANITIZE)
  target_compile_options(vorlane_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(vorlane_options INTERFACE -fsanitize=address,undefined)
endif()

# The Qt and standard headers nearly every file parses, compiled once per target rather than once per file.
option(VORLANE_PCH "Precompile the common Qt and standard headers" ON)
# vorlane_precompile(TARGET [HEADERS...]): those headers and any the target adds.
function(vorlane_precompile target)
  if(VORLANE_PCH)
    target_precompile_headers(${target} PRIVATE
      <algorithm> <filesystem> <functional> <memory> <optional> <string> <vector>
      <QHash> <QList> <QObject> <QString> ${ARGN})
  endif()
endfunction()
