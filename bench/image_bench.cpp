// Makes the copy of every file given, on N threads pulling from one queue (the copy scheduler's shape:
// one job per core). Usage: vorlane-image-bench [--jobs N] OUTDIR FILE...
// Prints one line per file on stdout: "WxH BYTES QUALITY FILE", or "failed FILE: MESSAGE"; then on stderr
// "copying took S": the seconds from the codecs started to the last copy, the throughput of a running
// scheduler without the process's start.
#include "copies/image_compressor.h"
#include "media/ffi/vips_runtime.h"

#include <chrono>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char **argv)
{
    int jobs = 1;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--jobs") == 0) {
        jobs = std::max(1, std::atoi(argv[2]));
        first = 3;
    }
    if (argc - first < 2) {
        std::fprintf(stderr, "usage: %s [--jobs N] OUTDIR FILE...\n", argv[0]);
        return 2;
    }
    const std::filesystem::path outDir = argv[first];
    std::vector<std::filesystem::path> files(argv + first + 1, argv + argc);
    std::atomic<size_t> next{0};
    std::atomic<int> failures{0};
    std::mutex printing;
    auto worker = [&] {
        for (size_t i = next++; i < files.size(); i = next++) {
            const auto &file = files[i];
            const auto destination = outDir / (file.stem().string() + "_bside.jpg");
            try {
                const auto info = vorlane::ImageCompressor::compress(file, destination, std::nullopt, {});
                const std::lock_guard lock(printing);
                std::printf("%dx%d %lld %d %s\n", info.width, info.height, static_cast<long long>(info.bytes),
                            info.quality, file.c_str());
            } catch (const std::exception &error) {
                ++failures;
                const std::lock_guard lock(printing);
                std::printf("failed %s: %s\n", file.c_str(), error.what());
            }
        }
    };
    vorlane::VipsRuntime::ensureStarted();
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::jthread> threads;
    for (int t = 0; t < jobs; ++t)
        threads.emplace_back(worker);
    threads.clear();
    std::fprintf(stderr, "copying took %.4f\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    return failures == 0 ? 0 : 1;
}
