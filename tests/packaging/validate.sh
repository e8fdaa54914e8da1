#!/usr/bin/env bash
# Stages an install and checks the desktop entry and AppStream description with the desktop's own validators.
set -euo pipefail
source_dir="$1"; build_dir="$2"
stage="$(mktemp -d)"; trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build_dir" --prefix /usr >/dev/null
for f in usr/bin/vorlane usr/bin/vorlane-cli usr/libexec/vorlane/vorlane-copy usr/share/applications/app.vorlane.Vorlane.desktop \
         usr/share/metainfo/app.vorlane.Vorlane.metainfo.xml usr/share/icons/hicolor/scalable/apps/app.vorlane.Vorlane.svg \
         usr/share/icons/hicolor/48x48/apps/app.vorlane.Vorlane.png usr/share/icons/hicolor/256x256/apps/app.vorlane.Vorlane.png; do
  [ -e "$stage/$f" ] || { echo "missing from the install: $f"; exit 1; }
done
desktop-file-validate "$stage/usr/share/applications/app.vorlane.Vorlane.desktop"
# AppStream 1.0 (Debian 13) warns that there is no homepage; there is none to give. 0.16 (Debian 12) has no such
# check and refuses to override a tag it does not know.
overrides=()
appstreamcli --version | grep -qE 'version: 0\.' || overrides=(--override=url-homepage-missing=info)
appstreamcli validate --no-net "${overrides[@]}" "$stage/usr/share/metainfo/app.vorlane.Vorlane.metainfo.xml"
grep -q '^Exec=vorlane %f$' "$stage/usr/share/applications/app.vorlane.Vorlane.desktop"

# The Debian package: the same files, and dependencies computed from the binaries.
if command -v cpack >/dev/null && command -v dpkg-shlibdeps >/dev/null; then
  (cd "$stage" && cpack -G DEB -B "$stage/deb" --config "$build_dir/CPackConfig.cmake" >/dev/null)
  deb=$(ls "$stage"/deb/vorlane_*.deb)
  contents=$(dpkg-deb -c "$deb")
  for f in ./usr/bin/vorlane ./usr/bin/vorlane-cli ./usr/libexec/vorlane/vorlane-copy ./usr/share/applications/app.vorlane.Vorlane.desktop \
           ./usr/share/man/man1/vorlane.1.gz ./usr/share/man/man1/vorlane-cli.1.gz ./usr/share/doc/vorlane/copyright \
           ./usr/share/doc/vorlane/changelog.gz; do
    grep -q " $f\$" <<<"$contents" || { echo "missing from the package: $f"; exit 1; }
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for name in qt6-wayland hicolor-icon-theme; do
    grep -qw "$name" <<<"$depends" || { echo "the package does not depend on $name: $depends"; exit 1; }
  done
  # Debian's own check of the package: no error and no warning. With AppStream 1.0 (Debian 13) lintian reports
  # the advice to name a homepage (see above) as a failed validation; there is none to give.
  lintian_overrides=()
  [ ${#overrides[@]} -gt 0 ] && lintian_overrides=(--suppress-tags appstream-metadata-validation-failed)
  lintian --fail-on error,warning "${lintian_overrides[@]}" "$deb" 2> >(grep -v 'running with root privileges' >&2)
  # The names of the release it was built on: Debian 12's, or Debian 13's (exiv2 0.28, LibRaw 0.21, FFmpeg 7.1).
  for lib in 'libvips42' 'libqt6widgets6' 'libexiv2-2[78]' 'libraw2[03]' 'libavcodec(59|61)'; do
    grep -qE "$lib" <<<"$depends" || { echo "the package does not depend on $lib: $depends"; exit 1; }
  done
fi
echo "1 passed, 0 failed"
