// The session's capture path with tovi-sim streaming 1080p60: the capture
// loop's steps (audio, then video, then the pause the session takes at the
// configured refresh rate) for a few seconds, one consumer counting frames.
// Reported: frames delivered per second, gaps (frames the consumer never
// saw), the simulator's own rate over the same time, and the CPU time of the
// capture steps per delivered frame (target: 60 frames per second, no gaps).
#include "device/transport/ZocToviDevice.h"
#include "media/ZocAudioCaptureI.h"
#include "media/ZocVideoCaptureI.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr int kRunSeconds = 5;

// tovi-sim in a private registry folder for the life of the object.
struct Sim {
    pid_t pid = -1;
    fs::path dir;
    std::string id;

    bool Start(const char* mode) {
        dir = fs::temp_directory_path() / ("zt-session-bench-" + std::to_string(getpid()));
        fs::create_directories(dir);
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace);
        pid = fork();
        if (pid == 0) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execl(ZT_TOVI_SIM, ZT_TOVI_SIM, "--runtime-dir", dir.c_str(), "--video", mode, nullptr);
            _exit(127);
        }
        for (int i = 0; i < 100 && id.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            std::error_code ec;
            for (const auto& entry : fs::directory_iterator(dir / "devices", ec))
                if (entry.path().extension() == ".json")
                    id = entry.path().stem().string();
        }
        setenv("ZT_SIM_REGISTRY", dir.c_str(), 1);
        return !id.empty();
    }
    ~Sim() {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

struct FrameCounter {
    uint64_t frames = 0;
    uint64_t gaps = 0;   // places where frames were skipped
    uint64_t missed = 0; // frames skipped in all
    uint64_t first = 0, last = 0;

    static void OnFrame(void* self, const ZomCameraFrame& frame, uint64_t, uint64_t) {
        auto& c = *static_cast<FrameCounter*>(self);
        if (c.frames == 0)
            c.first = frame.sequence;
        else if (frame.sequence > c.last + 1) {
            ++c.gaps;
            c.missed += frame.sequence - c.last - 1;
        }
        c.last = frame.sequence;
        ++c.frames;
    }
};

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

void CaptureAt(benchmark::State& state, const char* mode, int refreshRate) {
    Sim sim;
    if (!sim.Start(mode)) {
        state.SkipWithError("tovi-sim did not start");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SDL_Init(SDL_INIT_AUDIO);
    auto video = ZocVideoCaptureI::CreateInstance();
    auto audio = ZocAudioCaptureI::CreateInstance();
    ZocCaptureResponse opened = video->Open(sim.id);
    if (!opened.success) {
        state.SkipWithError(("camera: " + opened.message).c_str());
        return;
    }
    const bool withAudio = audio->Open(sim.id).success;
    FrameCounter counter;
    video->RegisterConsumer(&FrameCounter::OnFrame, &counter);

    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto end = start + std::chrono::seconds(kRunSeconds);
        while (std::chrono::steady_clock::now() < end) {
            const double before = ThreadCpuSeconds();
            audio->DoCapture();
            video->DoCapture();
            cpu += ThreadCpuSeconds() - before;
            std::this_thread::sleep_for(
                std::chrono::milliseconds(ZocToviDevice::GetCaptureSleepMs(refreshRate)));
        }
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    audio->Close();
    video->Close(false);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);

    const double frames = double(counter.frames);
    state.counters["delivered_fps"] = frames / wall;
    state.counters["sim_fps"] = frames > 0 ? double(counter.last - counter.first + 1) / wall : 0;
    state.counters["gaps"] = double(counter.gaps);
    state.counters["missed_frames"] = double(counter.missed);
    state.counters["cpu_us_per_frame"] = frames > 0 ? cpu * 1e6 / frames : 0;
    state.counters["audio"] = withAudio ? 1 : 0;
}

void BM_Capture1080p60(benchmark::State& state) {
    CaptureAt(state, "1920x1080@60", 60);
}
BENCHMARK(BM_Capture1080p60)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
