#include "platform/linux/ZomV4l2CameraBackend.h"

#include "platform/linux/ZomV4l2Camera.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

void ZomV4l2CameraBackend::List(std::vector<ZomCameraInfo>& cameras) {
    DIR* dir = opendir("/dev");
    if (!dir)
        return;
    std::vector<std::string> nodes;
    while (dirent* entry = readdir(dir))
        if (std::strncmp(entry->d_name, "video", 5) == 0)
            nodes.push_back(std::string("/dev/") + entry->d_name);
    closedir(dir);
    std::sort(nodes.begin(), nodes.end());
    for (const std::string& node : nodes) {
        int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        v4l2_capability caps{};
        if (ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0) {
            uint32_t deviceCaps =
                (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
            if ((deviceCaps & V4L2_CAP_VIDEO_CAPTURE) && (deviceCaps & V4L2_CAP_STREAMING)) {
                std::string name(reinterpret_cast<const char*>(caps.card),
                                 strnlen(reinterpret_cast<const char*>(caps.card), sizeof(caps.card)));
                cameras.push_back({kIdPrefix + node, name});
            }
        }
        ::close(fd);
    }
}

bool ZomV4l2CameraBackend::Owns(const std::string& id) const {
    return id.rfind(kIdPrefix, 0) == 0;
}

std::unique_ptr<ZomCameraDeviceI>
ZomV4l2CameraBackend::Open(const std::string& id, const ZomCameraSpec& requested, std::string& error) {
    return ZomV4l2Camera::Open(id.substr(std::strlen(kIdPrefix)), requested, error);
}
