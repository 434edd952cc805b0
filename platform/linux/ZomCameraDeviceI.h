#pragma once
#include "platform/linux/ZomCameraSpec.h"

#include <string>

// An open camera of the camera layer. Not thread-safe: the video capture
// serialises its calls.
class ZomCameraDeviceI {
public:
    enum class Acquire { Frame, NoFrame, Lost };

    virtual ~ZomCameraDeviceI() = default;
    // The format actually granted at open.
    virtual ZomCameraSpec GetSpec() const = 0;
    // Takes the next frame without waiting. Frames are YUY2.
    virtual Acquire AcquireFrame(ZomCameraFrame& frame) = 0;
    virtual void ReleaseFrame(ZomCameraFrame& frame) = 0;
    // The camera disappeared while open (unplugged, or its producer ended).
    virtual bool IsLost() const = 0;
};
