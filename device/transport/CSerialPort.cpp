#include "device/transport/CSerialPort.h"

#include "device/transport/CSerialPortUnixBase.h"

CSerialPort::CSerialPort() : mImpl(std::make_unique<CSerialPortUnixBase>()) {}

CSerialPort::CSerialPort(std::unique_ptr<CSerialPortBase> impl) : mImpl(std::move(impl)) {}

CSerialPort::~CSerialPort() = default;

// Forwarding with the failure value used when there is no implementation.
#define ZT_FORWARD(fallback, call)                                                                           \
    do {                                                                                                     \
        if (!mImpl) {                                                                                        \
            return fallback;                                                                                 \
        }                                                                                                    \
        return mImpl->call;                                                                                  \
    } while (0)

void CSerialPort::init(const char* portName, int baudRate, Parity parity, DataBits dataBits,
                       StopBits stopbits, FlowControl flowControl, unsigned int readBufferSize) {
    ZT_FORWARD(, init(portName, baudRate, parity, dataBits, stopbits, flowControl, readBufferSize));
}
void CSerialPort::setOperateMode(OperateMode operateMode) {
    ZT_FORWARD(, setOperateMode(operateMode));
}
bool CSerialPort::open() {
    ZT_FORWARD(false, openPort());
}
void CSerialPort::close() {
    ZT_FORWARD(, closePort());
}
bool CSerialPort::isOpen() {
    ZT_FORWARD(false, isOpen());
}
int CSerialPort::connectReadEvent(CSerialPortListener* listener) {
    ZT_FORWARD(ErrorNullPointer, connectReadEvent(listener));
}
int CSerialPort::disconnectReadEvent() {
    ZT_FORWARD(ErrorNullPointer, disconnectReadEvent());
}
unsigned int CSerialPort::getReadBufferUsedLen() {
    ZT_FORWARD(0, getReadBufferUsedLen());
}
int CSerialPort::readData(void* data, int size) {
    ZT_FORWARD(-1, readData(data, size));
}
int CSerialPort::readAllData(void* data, int size) {
    ZT_FORWARD(-1, readAllData(data, size));
}
int CSerialPort::readLineData(void* data, int size) {
    ZT_FORWARD(-1, readLineData(data, size));
}
int CSerialPort::writeData(const void* data, int size) {
    ZT_FORWARD(-1, writeData(data, size));
}
void CSerialPort::setDebugModel(bool isDebug) {
    ZT_FORWARD(, setDebugModel(isDebug));
}
void CSerialPort::setReadIntervalTimeout(unsigned int msecs) {
    ZT_FORWARD(, setReadIntervalTimeout(msecs));
}
unsigned int CSerialPort::getReadIntervalTimeout() {
    ZT_FORWARD(0, getReadIntervalTimeout());
}
void CSerialPort::setMinByteReadNotify(unsigned int minByteReadNotify) {
    ZT_FORWARD(, setMinByteReadNotify(minByteReadNotify));
}
unsigned int CSerialPort::getMinByteReadNotify() {
    ZT_FORWARD(0, getMinByteReadNotify());
}
void CSerialPort::setByteReadBufferFullNotify(unsigned int byteReadBufferFullNotify) {
    ZT_FORWARD(, setByteReadBufferFullNotify(byteReadBufferFullNotify));
}
unsigned int CSerialPort::getByteReadBufferFullNotify() {
    ZT_FORWARD(0, getByteReadBufferFullNotify());
}
bool CSerialPort::flushBuffers() {
    ZT_FORWARD(false, flushBuffers());
}
bool CSerialPort::flushReadBuffers() {
    ZT_FORWARD(false, flushReadBuffers());
}
bool CSerialPort::flushWriteBuffers() {
    ZT_FORWARD(false, flushWriteBuffers());
}
int CSerialPort::getLastError() const {
    ZT_FORWARD(ErrorNullPointer, getLastError());
}
const char* CSerialPort::getLastErrorMsg() const {
    ZT_FORWARD(CSerialPortBase::ErrorText(ErrorNullPointer), getLastErrorMsg());
}
void CSerialPort::clearError() {
    ZT_FORWARD(, clearError());
}
void CSerialPort::setPortName(const char* portName) {
    ZT_FORWARD(, setPortName(portName));
}
const char* CSerialPort::getPortName() const {
    ZT_FORWARD("", getPortName());
}
void CSerialPort::setBaudRate(int baudRate) {
    ZT_FORWARD(, setBaudRate(baudRate));
}
int CSerialPort::getBaudRate() const {
    ZT_FORWARD(-1, getBaudRate());
}
void CSerialPort::setParity(Parity parity) {
    ZT_FORWARD(, setParity(parity));
}
Parity CSerialPort::getParity() const {
    ZT_FORWARD(ParityNone, getParity());
}
void CSerialPort::setDataBits(DataBits dataBits) {
    ZT_FORWARD(, setDataBits(dataBits));
}
DataBits CSerialPort::getDataBits() const {
    ZT_FORWARD(DataBits8, getDataBits());
}
void CSerialPort::setStopBits(StopBits stopbits) {
    ZT_FORWARD(, setStopBits(stopbits));
}
StopBits CSerialPort::getStopBits() const {
    ZT_FORWARD(StopOne, getStopBits());
}
void CSerialPort::setFlowControl(FlowControl flowControl) {
    ZT_FORWARD(, setFlowControl(flowControl));
}
FlowControl CSerialPort::getFlowControl() const {
    ZT_FORWARD(FlowNone, getFlowControl());
}
void CSerialPort::setReadBufferSize(unsigned int size) {
    ZT_FORWARD(, setReadBufferSize(size));
}
unsigned int CSerialPort::getReadBufferSize() const {
    ZT_FORWARD(0, getReadBufferSize());
}
void CSerialPort::setDtr(bool set) {
    ZT_FORWARD(, setDtr(set));
}
void CSerialPort::setRts(bool set) {
    ZT_FORWARD(, setRts(set));
}
