// zt-vdisk: disk images with the application's FAT engine, from the command line.
//   zt-vdisk create IMAGE [--size MIB] [--fat16|--fat32] [--force]
//   zt-vdisk info IMAGE
//   zt-vdisk ls IMAGE [PATH]
//   zt-vdisk put IMAGE HOSTFILE PATH
//   zt-vdisk get IMAGE PATH HOSTFILE
//   zt-vdisk mkdir IMAGE PATH
//   zt-vdisk rm IMAGE PATH
// Exit status: 0 success, 1 failure, 2 usage error.
#include "vdisk/fatfs/ZotFatFileMedia.h"
#include "vdisk/fatfs/ZotFatFs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char* kLabel = "ZOT-VDISK";
constexpr size_t kChunk = 256 * 1024;

int Usage() {
    std::fprintf(stderr, "usage: zt-vdisk create IMAGE [--size MIB] [--fat16|--fat32] [--force]\n"
                         "       zt-vdisk info IMAGE\n"
                         "       zt-vdisk ls IMAGE [PATH]\n"
                         "       zt-vdisk put IMAGE HOSTFILE PATH\n"
                         "       zt-vdisk get IMAGE PATH HOSTFILE\n"
                         "       zt-vdisk mkdir IMAGE PATH\n"
                         "       zt-vdisk rm IMAGE PATH\n");
    return 2;
}

int Fail(const std::string& what, FRESULT res) {
    std::fprintf(stderr, "zt-vdisk: %s: %s (code %d)\n", what.c_str(), f_resulttext(res), int(res));
    return 1;
}

int FailText(const std::string& text) {
    std::fprintf(stderr, "zt-vdisk: %s\n", text.c_str());
    return 1;
}

std::string BaseName(const std::string& path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return "";
    size_t start = path.find_last_of('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// The mounted image for one command.
class Image {
public:
    bool Open(const std::string& path) {
        if (!ZotFatFileMedia::Open(path)) {
            FailText(ZotFatFileMedia::LastError());
            return false;
        }
        f_setmedia(ZotFatFileMedia::Media());
        FRESULT res = f_mount(&mFs, "/", 1);
        if (res != FR_OK) {
            Fail(path, res);
            return false;
        }
        return true;
    }
    ~Image() {
        f_mount(nullptr, "/", 0);
        f_setmedia(nullptr);
        ZotFatFileMedia::Close();
    }
    FATFS& Fs() { return mFs; }

private:
    FATFS mFs;
};

const char* TypeName(uint8_t type) {
    switch (type) {
    case FS_FAT12:
        return "FAT12";
    case FS_FAT16:
        return "FAT16";
    default:
        return "FAT32";
    }
}

int Create(const std::vector<std::string>& args) {
    if (args.empty())
        return Usage();
    std::string image = args[0];
    unsigned long mib = 33;
    int want = 0; // 0 default, 16, 32
    bool force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) {
            char* end = nullptr;
            mib = std::strtoul(args[++i].c_str(), &end, 10);
            if (*end || mib < 1 || mib > 256)
                return FailText("--size must be a whole number of MiB from 1 to 256");
        } else if (args[i] == "--fat16") {
            want = 16;
        } else if (args[i] == "--fat32") {
            want = 32;
        } else if (args[i] == "--force") {
            force = true;
        } else {
            return Usage();
        }
    }
    struct stat st;
    if (!force && stat(image.c_str(), &st) == 0)
        return FailText(image + ": exists already (use --force to replace it)");
    if (!ZotFatFileMedia::Create(image, uint64_t(mib) << 20))
        return FailText(ZotFatFileMedia::LastError());
    f_setmedia(ZotFatFileMedia::Media());
    FATFS fs;
    f_mount(&fs, "/", 0);
    std::vector<uint8_t> work(16384);
    MKFS_PARM opt;
    opt.fmt = want == 16 ? FM_FAT : FM_FAT32;
    FRESULT res = f_mkfs("/", &opt, work.data(), uint32_t(work.size()));
    if (res == FR_MKFS_ABORTED && want == 0) {
        opt.fmt = FM_ANY; // too small for FAT32: the engine's choice
        res = f_mkfs("/", &opt, work.data(), uint32_t(work.size()));
    }
    if (res == FR_OK)
        res = f_setlabel(kLabel);
    f_mount(nullptr, "/", 0);
    f_setmedia(nullptr);
    ZotFatFileMedia::Close();
    if (res != FR_OK) {
        std::remove(image.c_str());
        return Fail("format " + image, res);
    }
    return 0;
}

int Info(const std::vector<std::string>& args) {
    if (args.size() != 1)
        return Usage();
    Image img;
    if (!img.Open(args[0]))
        return 1;
    char label[40];
    uint32_t vsn = 0, freeClusters = 0;
    FATFS* fs = nullptr;
    FRESULT res = f_getlabel("/", label, &vsn);
    if (res != FR_OK)
        return Fail("label", res);
    res = f_getfree("/", &freeClusters, &fs);
    if (res != FR_OK)
        return Fail("free space", res);
    uint64_t clusterBytes = uint64_t(fs->csize) * 512;
    std::printf("type: %s\nlabel: %s\nserial: %04X-%04X\ncluster size: %llu bytes (%u sectors)\n"
                "clusters: %u\nfree: %llu bytes (%u clusters)\nvolume: %u sectors at sector %u\n",
                TypeName(fs->fs_type), label, vsn >> 16, vsn & 0xFFFF, (unsigned long long)clusterBytes,
                fs->csize, fs->n_fatent - 2, (unsigned long long)(clusterBytes * freeClusters), freeClusters,
                fs->volsize, fs->volbase);
    return 0;
}

void PrintEntry(const FILINFO& fi) {
    std::printf("%c %04u-%02u-%02u %02u:%02u:%02u %10u %s\n", (fi.fattrib & AM_DIR) ? 'd' : '-',
                1980 + (fi.fdate >> 9), (fi.fdate >> 5) & 15, fi.fdate & 31, fi.ftime >> 11,
                (fi.ftime >> 5) & 63, (fi.ftime & 31) * 2, fi.fsize, fi.fname);
}

int List(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2)
        return Usage();
    Image img;
    if (!img.Open(args[0]))
        return 1;
    std::string path = args.size() == 2 ? args[1] : "/";
    FILINFO fi;
    FRESULT res = f_stat(path.c_str(), &fi);
    if (res == FR_OK && !(fi.fattrib & AM_DIR)) {
        PrintEntry(fi);
        return 0;
    }
    if (res != FR_OK && res != FR_INVALID_NAME)
        return Fail(path, res);
    FF_DIR dir;
    res = f_opendir(&dir, path.c_str());
    if (res != FR_OK)
        return Fail(path, res);
    for (;;) {
        res = f_readdir(&dir, &fi);
        if (res != FR_OK)
            return Fail(path, res);
        if (!fi.fname[0])
            break;
        PrintEntry(fi);
    }
    f_closedir(&dir);
    return 0;
}

int Put(const std::vector<std::string>& args) {
    if (args.size() != 3)
        return Usage();
    Image img;
    if (!img.Open(args[0]))
        return 1;
    std::string host = args[1], path = args[2];
    FILE* in = std::fopen(host.c_str(), "rb");
    if (!in)
        return FailText(host + ": " + std::strerror(errno));
    FILINFO fi;
    if (path.empty() || path.back() == '/' || (f_stat(path.c_str(), &fi) == FR_OK && (fi.fattrib & AM_DIR)) ||
        f_stat(path.c_str(), &fi) == FR_INVALID_NAME) {
        if (!path.empty() && path.back() != '/')
            path += '/';
        path += BaseName(host);
    }
    FIL f;
    FRESULT res = f_open(&f, path.c_str(), FA_WRITE | FA_CREATE_ALWAYS);
    if (res != FR_OK) {
        std::fclose(in);
        return Fail(path, res);
    }
    std::vector<uint8_t> buf(kChunk);
    int rc = 0;
    for (;;) {
        size_t n = std::fread(buf.data(), 1, buf.size(), in);
        if (n == 0) {
            if (std::ferror(in))
                rc = FailText(host + ": read error");
            break;
        }
        uint32_t done = 0;
        res = f_write(&f, buf.data(), uint32_t(n), &done);
        if (res != FR_OK) {
            rc = Fail(path, res);
            break;
        }
        if (done < n) {
            rc = FailText(path + ": the volume is full");
            break;
        }
    }
    std::fclose(in);
    res = f_close(&f);
    if (rc == 0 && res != FR_OK)
        rc = Fail(path, res);
    if (rc != 0)
        f_unlink(path.c_str()); // no partial file left behind
    return rc;
}

int Get(const std::vector<std::string>& args) {
    if (args.size() != 3)
        return Usage();
    Image img;
    if (!img.Open(args[0]))
        return 1;
    std::string path = args[1], host = args[2];
    FIL f;
    FRESULT res = f_open(&f, path.c_str(), FA_READ);
    if (res != FR_OK)
        return Fail(path, res);
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        FILINFO fi;
        f_stat(path.c_str(), &fi);
        host += "/";
        host += fi.fname; // a name from the engine: never "..", never holds '/'
    }
    FILE* out = std::fopen(host.c_str(), "wb");
    if (!out) {
        f_close(&f);
        return FailText(host + ": " + std::strerror(errno));
    }
    std::vector<uint8_t> buf(kChunk);
    int rc = 0;
    for (;;) {
        uint32_t n = 0;
        res = f_read(&f, buf.data(), uint32_t(buf.size()), &n);
        if (res != FR_OK) {
            rc = Fail(path, res);
            break;
        }
        if (n == 0)
            break;
        if (std::fwrite(buf.data(), 1, n, out) != n) {
            rc = FailText(host + ": write error");
            break;
        }
    }
    f_close(&f);
    if (std::fclose(out) != 0 && rc == 0)
        rc = FailText(host + ": write error");
    return rc;
}

int Simple(const std::vector<std::string>& args, bool mkdir) {
    if (args.size() != 2)
        return Usage();
    Image img;
    if (!img.Open(args[0]))
        return 1;
    FRESULT res = mkdir ? f_mkdir(args[1].c_str()) : f_unlink(args[1].c_str());
    return res == FR_OK ? 0 : Fail(args[1], res);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return Usage();
    std::string cmd = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (cmd == "create")
        return Create(args);
    if (cmd == "info")
        return Info(args);
    if (cmd == "ls")
        return List(args);
    if (cmd == "put")
        return Put(args);
    if (cmd == "get")
        return Get(args);
    if (cmd == "mkdir")
        return Simple(args, true);
    if (cmd == "rm")
        return Simple(args, false);
    return Usage();
}
