#pragma once
#include "platform/linux/ZomCameraBackendI.h"

#include <memory>
#include <string>
#include <vector>

// The camera layer: lists the cameras of every backend and opens one by id.
// Thread-safe.
class ZomCamera {
public:
    static std::vector<ZomCameraInfo> GetCameras();
    // On failure returns null and sets `error` to a readable reason.
    static std::unique_ptr<ZomCameraDeviceI> Open(const std::string& id, const ZomCameraSpec& requested,
                                                  std::string& error);
    // Backends are consulted in the order added; V4L2 is always there.
    static void AddBackend(std::shared_ptr<ZomCameraBackendI> backend);
    static void RemoveBackend(const std::shared_ptr<ZomCameraBackendI>& backend);
    // Re-initialises the layer after devices came or went (a re-enumeration).
    static bool Reset(std::string& error);
};
