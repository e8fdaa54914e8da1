#!/usr/bin/env bash
# Video copies against the ffmpeg command line doing the same work (scale to 1280 wide, x264 High at 2 Mbit/s
# with the same preset, key frame every 60, AAC stereo 44.1 kHz 96 kbit/s, +faststart): a 60-second 1080p30
# phone-like clip with sound, timed in turns (ours, then ffmpeg) so both meet the same machine, and a 4K HEVC
# phone clip in frames per second. Both get every core of the machine.
set -euo pipefail
build="$1"
. "$(dirname "$0")/common.sh"
tool="$build/bench/video_compress_bench"
work="${BENCH_DIR:-${TMPDIR:-/tmp}/vorlane-bench-video}"
seconds="${VIDEO_SECONDS:-60}"
runs="${VIDEO_RUNS:-3}"
threads="$(nproc)"
mkdir -p "$work"
clip="$work/phone-1080p30-${seconds}s.mp4"
hevc="$work/phone-2160p30-hevc-5s.mov"

if [ ! -f "$clip" ]; then
  # Moving test pattern with sensor-like grain, H.264 High at about a phone's 16 Mbit/s, 48 kHz stereo AAC.
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=30:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -vf "noise=alls=12:allf=t" -c:v libx264 -preset veryfast -profile:v high -b:v 16M -pix_fmt yuv420p \
    -ac 2 -c:a aac -b:a 192k -movflags +faststart "$clip.tmp.mp4"
  mv "$clip.tmp.mp4" "$clip"
fi
if [ ! -f "$hevc" ]; then
  # What a phone records in 4K: HEVC Main in a QuickTime file tagged hvc1, about 40 Mbit/s, AAC sound.
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=3840x2160:rate=30:duration=5" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=5" \
    -vf "noise=alls=8:allf=t" -c:v libx265 -preset ultrafast -b:v 40M -tag:v hvc1 -pix_fmt yuv420p \
    -x265-params log-level=error -ac 2 -c:a aac -b:a 192k "$hevc.tmp.mov"
  mv "$hevc.tmp.mov" "$hevc"
fi

ours_out="$work/ours.mp4"; cli_out="$work/cli.mp4"
preset=$("$tool" "$clip" "$ours_out" "$threads" | sed -n 's/.*preset=\([a-z]*\).*/\1/p')
cli() {
  ffmpeg -v error -y -i "$1" -vf scale=1280:-2 -c:v libx264 -preset "$preset" -profile:v high \
    -b:v 2M -g 60 -c:a aac -b:a 96k -ac 2 -ar 44100 -movflags +faststart "$2"
}
ratios=()
for _ in $(seq "$runs"); do
  ours=$(best_of 1 "$tool" "$clip" "$ours_out" "$threads")
  them=$(best_of 1 cli "$clip" "$cli_out")
  ratios+=("$(ratio "$ours" "$them")")
  echo "  run: ours ${ours}s, ffmpeg ${them}s, ratio $(ratio "$ours" "$them")"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")

rate() { ffprobe -v error -select_streams v:0 -show_entries stream=bit_rate -of csv=p=0 "$1"; }
size() { ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$1"; }
ours_rate=$(rate "$ours_out"); cli_rate=$(rate "$cli_out")
echo "clip: ${seconds} s 1920x1080 30 fps + AAC stereo; threads: $threads; x264 preset: $preset"
echo "ours:   $(size "$ours_out")  video $((ours_rate / 1000)) kbit/s ($(ratio "$ours_rate" 20000)% of 2 Mbit/s)"
echo "ffmpeg: $(size "$cli_out")  video $((cli_rate / 1000)) kbit/s"
echo "wall time ours/ffmpeg, median of $runs runs in turn: $median (target <= 1.05)"

frames=$(ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$hevc")
ours=$(best_of 1 "$tool" "$hevc" "$ours_out" "$threads")
them=$(best_of 1 cli "$hevc" "$cli_out")
echo "4K HEVC phone clip ($frames frames) to 720p: ours $(printf '%.1f' "$(echo "$frames / $ours" | bc -l)") fps, ffmpeg $(printf '%.1f' "$(echo "$frames / $them" | bc -l)") fps"
