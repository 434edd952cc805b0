#include "device/transport/CSerialPortBase.h"

void CSerialPortBase::setOperateMode(OperateMode operateMode) {
    mOperateMode = operateMode;
}

unsigned int CSerialPortBase::getReadIntervalTimeout() {
    return mReadIntervalTimeoutMS;
}

unsigned int CSerialPortBase::getMinByteReadNotify() {
    return mMinByteReadNotify;
}

void CSerialPortBase::setByteReadBufferFullNotify(unsigned int byteReadBufferFullNotify) {
    mByteReadBufferFullNotify = byteReadBufferFullNotify;
}

unsigned int CSerialPortBase::getByteReadBufferFullNotify() {
    return mByteReadBufferFullNotify;
}

int CSerialPortBase::getLastError() const {
    return mLastError.load(std::memory_order_relaxed);
}

const char* CSerialPortBase::getLastErrorMsg() const {
    return ErrorText(getLastError());
}

void CSerialPortBase::clearError() {
    setLastError(ErrorOK);
}

int CSerialPortBase::connectReadEvent(CSerialPortListener* listener) {
    if (listener == nullptr) {
        setLastError(ErrorNullPointer);
        return ErrorNullPointer;
    }
    mListener.store(listener, std::memory_order_release);
    return ErrorOK;
}

int CSerialPortBase::disconnectReadEvent() {
    mListener.store(nullptr, std::memory_order_release);
    return ErrorOK;
}

const char* CSerialPortBase::ErrorText(int code) {
    switch (code) {
    case ErrorUnknown:
        return "unknown error";
    case ErrorOK:
        return "success";
    case ErrorFail:
        return "general error";
    case ErrorNotImplemented:
        return "not implemented error";
    case ErrorInner:
        return "innet error";
    case ErrorNullPointer:
        return "null pointer error";
    case ErrorInvalidParam:
        return "invalid param error";
    case ErrorAccessDenied:
        return "access denied error";
    case ErrorOutOfMemory:
        return "out of memory error";
    case ErrorTimeout:
        return "timeout error";
    case ErrorNotInit:
        return "not init error";
    case ErrorInitFailed:
        return "init failed error";
    case ErrorAlreadyExist:
        return "already exist error";
    case ErrorNotExist:
        return "not exist error";
    case ErrorAlreadyOpen:
        return "already open error";
    case ErrorNotOpen:
        return "not open error";
    case ErrorOpenFailed:
        return "open failed error";
    case ErrorCloseFailed:
        return "close failed error";
    case ErrorWriteFailed:
        return "write failed error";
    default:
        return "undefined error code";
    }
}
