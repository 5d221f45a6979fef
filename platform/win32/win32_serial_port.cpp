#include "platform/win32/win32_serial_port.h"

#include <windows.h>

#include <algorithm>

#include "platform/posix/posix_serial_port.h"

namespace tessvar {
namespace {

// An overlapped operation's event, closed with it.
class Event {
 public:
  Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~Event() {
    if (handle_) CloseHandle(handle_);
  }
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

BYTE ParityCode(SerialParity p) {
  switch (p) {
    case SerialParity::Odd: return ODDPARITY;
    case SerialParity::Even: return EVENPARITY;
    case SerialParity::Mark: return MARKPARITY;
    case SerialParity::Space: return SPACEPARITY;
    case SerialParity::None: break;
  }
  return NOPARITY;
}

BYTE StopCode(SerialStopBits s) {
  switch (s) {
    case SerialStopBits::OnePointFive: return ONE5STOPBITS;
    case SerialStopBits::Two: return TWOSTOPBITS;
    case SerialStopBits::One: break;
  }
  return ONESTOPBIT;
}

SerialConfig FromDcb(const DCB& dcb) {
  SerialConfig c;
  c.baudRate = dcb.BaudRate;
  c.dataBits = dcb.ByteSize;
  switch (dcb.Parity) {
    case ODDPARITY: c.parity = SerialParity::Odd; break;
    case EVENPARITY: c.parity = SerialParity::Even; break;
    case MARKPARITY: c.parity = SerialParity::Mark; break;
    case SPACEPARITY: c.parity = SerialParity::Space; break;
    default: c.parity = SerialParity::None; break;
  }
  c.stopBits = dcb.StopBits == TWOSTOPBITS    ? SerialStopBits::Two
               : dcb.StopBits == ONE5STOPBITS ? SerialStopBits::OnePointFive
                                              : SerialStopBits::One;
  c.dtr = dcb.fDtrControl == DTR_CONTROL_ENABLE;
  c.rts = dcb.fRtsControl == RTS_CONTROL_ENABLE;
  return c;
}

class Win32SerialPort final : public SerialPort {
 public:
  ~Win32SerialPort() override { Close(); }

  bool Open(std::string_view name) override {
    Close();
    const std::string path = Win32DevicePath(name);
    // No sharing: a second program (or a second open here) is refused.
    handle_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_FLAG_OVERLAPPED, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    ioError_ = false;
    SetupComm(handle_, 4096, 4096);
    // Reads return at once with what has arrived; writes are bounded by our own wait.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    SetCommTimeouts(handle_, &timeouts);
    SetCommMask(handle_, 0);
    PurgeComm(handle_, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    return true;
  }

  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

  std::optional<SerialConfig> CurrentConfig() override {
    DCB dcb{};
    if (!ReadDcb(dcb)) return std::nullopt;
    return FromDcb(dcb);
  }

  bool Configure(const SerialConfig& config) override {
    DCB before{};
    if (!ReadDcb(before)) return false;
    DCB dcb = before;
    dcb.BaudRate = config.baudRate;
    dcb.ByteSize = config.dataBits;
    dcb.Parity = ParityCode(config.parity);
    dcb.fParity = config.parity != SerialParity::None;
    dcb.StopBits = StopCode(config.stopBits);
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = config.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = config.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (SetCommState(handle_, &dcb)) return true;
    SetCommState(handle_, &before);  // a refused field leaves the previous settings
    return false;
  }

  bool Write(std::span<const uint8_t> bytes) override {
    if (!IsOpen()) return false;
    if (bytes.empty()) return true;
    Event done;
    OVERLAPPED ov{};
    ov.hEvent = done.Get();
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<size_t>(bytes.size(), MAXDWORD));
    if (!WriteFile(handle_, bytes.data(), count, &written, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) return Failed();
      if (!Finish(ov, kWriteLimitMs, written)) return false;
    }
    return written == bytes.size();
  }

  size_t BytesQueued() override {
    COMSTAT status{};
    if (!Status(status)) return 0;
    return status.cbInQue;
  }

  size_t Read(std::span<uint8_t> buffer) override {
    if (!IsOpen() || buffer.empty()) return 0;
    const size_t queued = BytesQueued();
    if (queued == 0) return 0;
    Event done;
    OVERLAPPED ov{};
    ov.hEvent = done.Get();
    DWORD got = 0;
    const auto count = static_cast<DWORD>(std::min({buffer.size(), queued, size_t{MAXDWORD}}));
    if (!ReadFile(handle_, buffer.data(), count, &got, &ov)) {
      if (GetLastError() != ERROR_IO_PENDING) {
        Failed();
        return 0;
      }
      if (!Finish(ov, kReadLimitMs, got)) return 0;
    }
    return got;
  }

  bool WaitTransmitted(uint32_t timeoutMs) override {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      COMSTAT status{};
      if (!Status(status)) return false;
      if (status.cbOutQue == 0) return true;
      if (GetTickCount64() - start >= timeoutMs) return false;
      Sleep(1);
    }
  }

  void Close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return;
    CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

  bool HasIoError() const override { return ioError_; }

 private:
  bool ReadDcb(DCB& dcb) {
    if (!IsOpen()) return false;
    dcb.DCBlength = sizeof dcb;
    return GetCommState(handle_, &dcb) != FALSE;
  }

  // Clears a pending line error (framing, overrun) so I/O goes on; false when the device
  // itself is gone.
  bool Status(COMSTAT& status) {
    if (!IsOpen()) return false;
    DWORD errors = 0;
    if (!ClearCommError(handle_, &errors, &status)) return Failed();
    return true;
  }

  // Waits for an overlapped operation at most limitMs; cancels it when the limit passes.
  bool Finish(OVERLAPPED& ov, DWORD limitMs, DWORD& transferred) {
    if (WaitForSingleObject(ov.hEvent, limitMs) != WAIT_OBJECT_0) {
      CancelIo(handle_);
      GetOverlappedResult(handle_, &ov, &transferred, TRUE);  // the buffer stays ours
      return false;
    }
    if (!GetOverlappedResult(handle_, &ov, &transferred, FALSE)) return Failed();
    return true;
  }

  bool Failed() {
    const DWORD error = GetLastError();
    if (error == ERROR_OPERATION_ABORTED) return false;
    // Unplugged adapters report these; the owner reopens the port.
    ioError_ = true;
    return false;
  }

  static constexpr DWORD kWriteLimitMs = 1000;
  static constexpr DWORD kReadLimitMs = 50;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  bool ioError_ = false;
};

}  // namespace

std::string Win32DevicePath(std::string_view name) {
  if (name.starts_with("\\\\")) return std::string(name);
  return "\\\\.\\" + std::string(name);
}

std::unique_ptr<SerialPort> MakeWin32SerialPort() { return std::make_unique<Win32SerialPort>(); }

// The names the programs share with the Linux build.
std::unique_ptr<SerialPort> MakePosixSerialPort() { return MakeWin32SerialPort(); }
std::string SerialDevicePath(std::string_view name) { return Win32DevicePath(name); }
std::optional<SerialConfig> ReadTerminalConfig(int) { return std::nullopt; }

}  // namespace tessvar
