// Log lines per second into a rotating file: libzotbase's memory-mapped
// writer against spdlog's rotating file logger, the same message text and a
// similar line prefix, 2 MiB files, at most 10 of them, one and two threads.
#include <zotbase/ZotBase.h>

#include <benchmark/benchmark.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr size_t kFileSize = 0x200000;
constexpr size_t kMaxFiles = 10;

const std::string& BenchFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/zt-logbench-XXXXXX";
        std::string path = mkdtemp(pattern);
        static char removeAtExit[64];
        std::snprintf(removeAtExit, sizeof(removeAtExit), "%s", path.c_str());
        std::atexit([] {
            std::error_code error;
            std::filesystem::remove_all(removeAtExit, error);
        });
        return path;
    }();
    return folder;
}

ZotLogger& ZotBenchLogger() {
    static std::shared_ptr<ZotLogger> logger = [] {
        ZotLogManager::Instance().Initialize(ZotLogManager::File, kFileSize, BenchFolder().c_str(),
                                             "ZotBench", ".log", kMaxFiles);
        return ZotLogManager::Instance().GetLogger("Video", ZotLogger::Level::Info);
    }();
    return *logger;
}

spdlog::logger& SpdBenchLogger() {
    static std::shared_ptr<spdlog::logger> logger = [] {
        auto made =
            spdlog::rotating_logger_mt("Video", BenchFolder() + "/SpdBench.log", kFileSize, kMaxFiles);
        // The same shape as libzotbase's prefix: date, time to the
        // microsecond, level, name.
        made->set_pattern("%Y/%m/%d %H:%M:%S.%f [%L] %n: %v");
        return made;
    }();
    return *logger;
}

void BM_ZotFileLogger(benchmark::State& state) {
    ZotLogger& logger = ZotBenchLogger();
    int frame = 0;
    for (auto _ : state)
        logger.Info("Frame %d converted in %.2f ms, %d x %d, source %s", ++frame, 3.25, 1920, 1080, "camera");
    state.SetItemsProcessed(state.iterations());
}

void BM_SpdlogRotatingFile(benchmark::State& state) {
    spdlog::logger& logger = SpdBenchLogger();
    int frame = 0;
    for (auto _ : state)
        logger.info("Frame {} converted in {:.2f} ms, {} x {}, source {}", ++frame, 3.25, 1920, 1080,
                    "camera");
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ZotFileLogger)->Threads(1)->Threads(2)->UseRealTime();
BENCHMARK(BM_SpdlogRotatingFile)->Threads(1)->Threads(2)->UseRealTime();

} // namespace
