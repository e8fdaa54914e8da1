// Encodes one video with VideoCompressor and prints the wall time, so that bench/video_bench.sh can set it
// beside the ffmpeg command line doing the same work: `video_compress_bench SOURCE DESTINATION [THREADS]`.
#include "copies/video_compressor.h"
#include "copies/video_transcoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <thread>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE DESTINATION [THREADS]\n", argv[0]);
        return 2;
    }
    const int threads = argc > 3 ? std::atoi(argv[3]) : int(std::max(1u, std::thread::hardware_concurrency()));
    const auto start = std::chrono::steady_clock::now();
    try {
        const auto info = vorlane::VideoCompressor::compress(argv[1], argv[2], std::stop_token{}, threads);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("preset=%s threads=%d size=%dx%d bytes=%lld seconds=%.3f\n", vorlane::x264Preset, threads,
                    info.width, info.height, static_cast<long long>(info.bytes), took.count());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
