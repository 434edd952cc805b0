#pragma once
#include "app/ZocTimer.h"

#include <cstdint>

// The supervision timer of the link to a connected Tovi: requests its
// information report until it arrives, pings it, retunes the transmit frame
// factor or reopens the port when the Tovi stays silent, and jiggles the mouse.
class ZocMainTimer {
public:
    static bool Start();
    static void Stop();
    // One tick; returns the next interval (exposed for tests).
    static uint32_t OnTimerEvent();
    // Restores the jiggle state (tests).
    static void ResetJiggle();

private:
    static void JiggleMouse();
    static inline ZocTimer mTimer;
};
