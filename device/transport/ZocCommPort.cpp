#include "device/transport/ZocCommPort.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "device/protocol/ZocToviMsg.h"
#include "device/transport/ZocToviDeviceInfo.h"
#include "ui/ImGuiToast.h"

#include <algorithm>
#include <chrono>
#include <thread>

uint8_t ZocCommPort::sReadBuffer[ZocCommPort::kReadChunk];

std::unique_ptr<ZocCommPortI> ZocCommPortI::CreateInstance() {
    return std::make_unique<ZocCommPort>();
}

ZocCommPort::ZocCommPort() {
    mPort.init("", int(ZocSettings::Instance().device.comm.baudRate), ParityNone, DataBits8, StopOne,
               FlowNone, kReadBufferSize);
    mPort.setReadIntervalTimeout(0);
    mPort.setMinByteReadNotify(1);
    ZocToviMsg::SetCommPort(this);
}

ZocCommPort::~ZocCommPort() {
    if (ZocToviMsg::GetCommPort() == this) {
        ZocToviMsg::SetCommPort(nullptr);
    }
    Close();
}

ZocCaptureResponse ZocCommPort::Open(const std::string& portName) {
    Close();
    if (portName.empty()) {
        return ZocCaptureResponse::Fail("Open Serial Port", "No port supplied.");
    }
    const auto& comm = ZocSettings::Instance().device.comm;
    mPort.setPortName(portName.c_str());
    // The rate is read at each open so that a changed setting applies on the next connect.
    mPort.setBaudRate(int(comm.baudRate));
    mPort.setFlowControl(FlowNone);
    if (!mPort.open()) {
        return ZocCaptureResponse::Fail("Open Serial Port", "Failed to open serial port " + portName + ", " +
                                                                mPort.getLastErrorMsg());
    }
    if (comm.hardwareFlowControl) {
        mPort.setFlowControl(FlowHardware);
    }
    ZocLog::CommPort().Info("The serial port '%s' is opened", portName.c_str());
    ZocToviMsg::ResetTicks();
    ZocGlobals::infoRequestTicks = ZocToviMsg::NowTicks();
    ZocToviMsg::PushPacket(ZoMsg::Type::TxFrameRateFactor, uint32_t(ZocGlobals::txFrameFactor.load()));
    mPort.connectReadEvent(this);
    return ZocCaptureResponse::Ok();
}

void ZocCommPort::Close() {
    mPort.disconnectReadEvent();
    if (mPort.isOpen()) {
        mPort.close();
        ZocLog::CommPort().Info("The serial port is closed");
    }
}

ZocCaptureResponse ZocCommPort::ReOpen() {
    const std::string name = mPort.getPortName();
    Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Open(name);
}

bool ZocCommPort::IsOpened() {
    return mPort.isOpen();
}

int ZocCommPort::Read(void* bytes, int length) {
    const int result = mPort.readData(bytes, length);
    if (result < 0) {
        ZocLog::CommPort().Error("Failed to read, error %ld", long(-result));
    }
    return result;
}

int ZocCommPort::Write(const void* bytes, int length) {
    const int result = mPort.writeData(bytes, length);
    if (result < 1) {
        const std::string path = mPort.getPortName();
        const bool exists =
            unplugHooks.isCommExist ? unplugHooks.isCommExist(path) : ZocToviDeviceInfo::IsCommExist(path);
        if (!exists) {
            ZocLog::System().Info("The connected Tovi was un-plugged, to disconnect...");
            ImGui::InsertNotification(
                ImGuiToast(ImGuiToastType_Warning, 3000, "The connected Tovi was un-plugged"));
            if (unplugHooks.disconnectUnplugged) {
                unplugHooks.disconnectUnplugged();
            }
        }
    }
    return result;
}

void ZocCommPort::onReadEvent(const char*, unsigned int readBufferLen) {
    long left = long(readBufferLen);
    while (left > 0) {
        const int got = Read(sReadBuffer, int(std::min<long>(left, kReadChunk)));
        if (got <= 0) {
            break; // announced bytes are gone (flushed): do not spin
        }
        ZocToviMsg::GetInput().OnDataReceived(sReadBuffer, size_t(got));
        left -= got;
    }
}
