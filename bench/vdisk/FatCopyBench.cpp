// Copy speed of zt-vdisk (and the engine) against mcopy on a 33 MiB FAT32
// image as the application creates it: a 10 MiB file in and out, and a tree
// of 2000 small files in.
#include "vdisk/fatfs/ZotFatFileMedia.h"
#include "vdisk/fatfs/ZotFatFs.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string kDir = [] {
    char tmpl[] = "/tmp/zt-fat-bench-XXXXXX";
    return std::string(mkdtemp(tmpl));
}();
const std::string kImage = kDir + "/v.img";
const std::string kBig = kDir + "/big.bin";
const std::string kTree = kDir + "/tree";
const std::string kMtoolsImage = "-i " + kImage + "@@32256";

void Sh(const std::string& cmd) {
    std::string full = "LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 " + cmd + " >/dev/null 2>&1";
    if (std::system(full.c_str()) != 0)
        std::fprintf(stderr, "failed: %s\n", cmd.c_str());
}

void FreshImage() {
    Sh(std::string(ZT_VDISK_TOOL) + " create " + kImage + " --force");
}

void Prepare() {
    static bool done = false;
    if (done)
        return;
    done = true;
    std::mt19937 rng(1);
    std::vector<char> data(10 << 20);
    for (auto& c : data)
        c = char(rng());
    std::ofstream(kBig, std::ios::binary).write(data.data(), std::streamsize(data.size()));
    // 2000 files of 1-4 KiB in 20 folders.
    for (int d = 0; d < 20; ++d) {
        std::string dir = kTree + "/folder " + std::to_string(d);
        Sh("mkdir -p '" + dir + "'");
        for (int f = 0; f < 100; ++f) {
            std::ofstream out(dir + "/small file " + std::to_string(f) + ".txt", std::ios::binary);
            out.write(data.data() + f * 4096, 1024 + (f * 37) % 3072);
        }
    }
}

void BM_PutBig_ZtVdisk(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        state.PauseTiming();
        FreshImage();
        state.ResumeTiming();
        Sh(std::string(ZT_VDISK_TOOL) + " put " + kImage + " " + kBig + " /big.bin");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * (10 << 20));
}

void BM_PutBig_Mcopy(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        state.PauseTiming();
        FreshImage();
        state.ResumeTiming();
        Sh("mcopy " + kMtoolsImage + " " + kBig + " ::/big.bin");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * (10 << 20));
}

void BM_GetBig_ZtVdisk(benchmark::State& state) {
    Prepare();
    FreshImage();
    Sh(std::string(ZT_VDISK_TOOL) + " put " + kImage + " " + kBig + " /big.bin");
    for (auto _ : state)
        Sh(std::string(ZT_VDISK_TOOL) + " get " + kImage + " /big.bin " + kDir + "/out.bin");
    state.SetBytesProcessed(int64_t(state.iterations()) * (10 << 20));
}

void BM_GetBig_Mcopy(benchmark::State& state) {
    Prepare();
    FreshImage();
    Sh(std::string(ZT_VDISK_TOOL) + " put " + kImage + " " + kBig + " /big.bin");
    for (auto _ : state)
        Sh("mcopy -n -o " + kMtoolsImage + " ::/big.bin " + kDir + "/out.bin");
    state.SetBytesProcessed(int64_t(state.iterations()) * (10 << 20));
}

// The engine in-process (what the application does), one file at a time.
void BM_PutTree2000_Engine(benchmark::State& state) {
    Prepare();
    std::vector<char> buf(4096);
    for (auto _ : state) {
        state.PauseTiming();
        FreshImage();
        state.ResumeTiming();
        ZotFatFileMedia::Open(kImage);
        f_setmedia(ZotFatFileMedia::Media());
        FATFS fs;
        f_mount(&fs, "/", 1);
        for (int d = 0; d < 20; ++d) {
            std::string folder = "folder " + std::to_string(d);
            f_mkdir(("/" + folder).c_str());
            for (int f = 0; f < 100; ++f) {
                std::string name = "small file " + std::to_string(f) + ".txt";
                std::ifstream in(kTree + "/" + folder + "/" + name, std::ios::binary);
                in.read(buf.data(), std::streamsize(buf.size()));
                FIL fil;
                uint32_t n;
                f_open(&fil, ("/" + folder + "/" + name).c_str(), FA_WRITE | FA_CREATE_ALWAYS);
                f_write(&fil, buf.data(), uint32_t(in.gcount()), &n);
                f_close(&fil);
            }
        }
        f_mount(nullptr, "/", 0);
        ZotFatFileMedia::Close();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2000);
}

void BM_PutTree2000_Mcopy(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        state.PauseTiming();
        FreshImage();
        state.ResumeTiming();
        Sh("mcopy -s " + kMtoolsImage + " " + kTree + "/* ::/");
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2000);
}

} // namespace

BENCHMARK(BM_PutBig_ZtVdisk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PutBig_Mcopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_GetBig_ZtVdisk)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_GetBig_Mcopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PutTree2000_Engine)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_PutTree2000_Mcopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
