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
appstreamcli validate --no-net "$stage/usr/share/metainfo/app.vorlane.Vorlane.metainfo.xml"
grep -q '^Exec=vorlane %f$' "$stage/usr/share/applications/app.vorlane.Vorlane.desktop"
echo "1 passed, 0 failed"
