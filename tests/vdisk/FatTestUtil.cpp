#include "FatTestUtil.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

namespace FatTestUtil {

TempDir::TempDir() {
    char tmpl[] = "/tmp/zt-fat-XXXXXX";
    if (!mkdtemp(tmpl))
        throw std::runtime_error("mkdtemp");
    mPath = tmpl;
}

TempDir::~TempDir() {
    Shell("rm -rf " + Quote(mPath));
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

int Shell(const std::string& command, std::string* out) {
    std::string full = "LC_ALL=C.UTF-8 MTOOLS_SKIP_CHECK=1 MTOOLS_NO_VFAT=0 " + command + " 2>&1";
    FILE* p = popen(full.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string MtoolsImage(const std::string& image, uint32_t sector) {
    std::string spec = Quote(image);
    if (sector)
        spec = Quote(image + "@@" + std::to_string(uint64_t(sector) * 512));
    return "-i " + spec;
}

bool FsckClean(const std::string& image, uint32_t sector, std::string* report) {
    std::string target = image;
    if (sector) {
        target = image + ".part";
        Shell("dd if=" + Quote(image) + " of=" + Quote(target) + " bs=512 skip=" + std::to_string(sector) +
              " status=none");
    }
    std::string out;
    int rc = Shell("fsck.fat -n " + Quote(target), &out);
    if (sector)
        std::remove(target.c_str());
    if (report)
        *report = out;
    return rc == 0;
}

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = uint8_t(rng());
    return v;
}

bool WriteHostFile(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    return bool(f);
}

std::vector<uint8_t> ReadHostFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

Mounted::Mounted(const std::string& image) {
    if (!ZotFatFileMedia::Open(image))
        return;
    f_setmedia(ZotFatFileMedia::Media());
    mResult = f_mount(&mFs, "/", 1);
}

Mounted::~Mounted() {
    f_mount(nullptr, "/", 0);
    f_setmedia(nullptr);
    ZotFatFileMedia::Close();
}

FRESULT PutFile(const std::string& path, const std::vector<uint8_t>& data, uint32_t* written) {
    FIL f;
    FRESULT res = f_open(&f, path.c_str(), FA_WRITE | FA_CREATE_ALWAYS);
    if (res != FR_OK)
        return res;
    uint32_t total = 0;
    size_t at = 0;
    while (at < data.size() && res == FR_OK) {
        uint32_t chunk = uint32_t(std::min<size_t>(data.size() - at, 7000)), done = 0;
        res = f_write(&f, data.data() + at, chunk, &done);
        total += done;
        at += done;
        if (done < chunk)
            break;
    }
    FRESULT closeRes = f_close(&f);
    if (written)
        *written = total;
    return res != FR_OK ? res : closeRes;
}

FRESULT GetFile(const std::string& path, std::vector<uint8_t>& data) {
    FIL f;
    data.clear();
    FRESULT res = f_open(&f, path.c_str(), FA_READ);
    if (res != FR_OK)
        return res;
    uint8_t buf[5000];
    for (;;) {
        uint32_t n = 0;
        res = f_read(&f, buf, sizeof buf, &n);
        if (res != FR_OK || n == 0)
            break;
        data.insert(data.end(), buf, buf + n);
    }
    f_close(&f);
    return res;
}

std::vector<std::string> ListNames(const std::string& path) {
    std::vector<std::string> names;
    FF_DIR d;
    if (f_opendir(&d, path.c_str()) != FR_OK)
        return names;
    FILINFO fi;
    while (f_readdir(&d, &fi) == FR_OK && fi.fname[0])
        names.push_back(fi.fname);
    f_closedir(&d);
    return names;
}

FRESULT CreateImage(const std::string& image, uint32_t mib, uint8_t fmt) {
    if (!ZotFatFileMedia::Create(image, uint64_t(mib) << 20))
        return FR_DISK_ERR;
    f_setmedia(ZotFatFileMedia::Media());
    FATFS fs;
    f_mount(&fs, "/", 0);
    std::vector<uint8_t> work(16384);
    MKFS_PARM opt;
    opt.fmt = fmt;
    FRESULT res = f_mkfs("/", &opt, work.data(), uint32_t(work.size()));
    if (res == FR_OK)
        res = f_setlabel("ZOT-VDISK");
    f_mount(nullptr, "/", 0);
    f_setmedia(nullptr);
    ZotFatFileMedia::Close();
    return res;
}

} // namespace FatTestUtil
