// SPDX-License-Identifier: MIT
#include "simulator/windows/host_connection.h"

#include <winsock2.h>
#include <windows.h>

#include <random>

#include "kivocom/error.h"
#include "platform/windows/system_text_windows.h"
#include "simulator/wire_format.h"

namespace kivocom {
namespace {

constexpr const char* kOpenSource = "InstrumentSimulator - Open";
// Starting a native program under a busy Wine takes well under a second; this only ends the wait
// for a host that crashed before connecting.
constexpr long kConnectSeconds = 20;
// How long closing waits for the host to tidy up before giving up on it.
constexpr DWORD kCloseMilliseconds = 5000;

[[noreturn]] void RaiseOpenError(const std::string& description) {
  throw Error(kErrDeviceNotOpen, kOpenSource, description);
}

[[noreturn]] void RaiseSocketError(const char* step) {
  RaiseOpenError(std::string("Cannot open the loopback connection to the simulator host (") + step +
                 "): " + SystemErrorText(static_cast<DWORD>(WSAGetLastError())) + ".");
}

std::wstring HostProgram() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetEnvironmentVariableW(L"KIVOCOM_SIMULATOR_HOST", path, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) {
    RaiseOpenError(
        "The instrument simulator of the Windows build runs its instruments in a native Linux host under "
        "Wine: set KIVOCOM_SIMULATOR_HOST to the path of kivocom_simhost from the Linux build. It cannot run "
        "on Windows itself; test against a real instrument there.");
  }
  return std::wstring(path, length);
}

// A secret the host repeats first, so that no other local program can pose as it.
std::string NewToken() {
  std::random_device random;
  std::string token;
  for (int i = 0; i < 4; ++i) token += std::to_string(random());
  return token;
}

SOCKET ListenOnLoopback(uint16_t& port) {
  const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) RaiseSocketError("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    const int saved = WSAGetLastError();
    closesocket(listener);
    WSASetLastError(saved);
    RaiseSocketError("listen");
  }
  port = ntohs(address.sin_port);
  return listener;
}

void StartHost(const std::wstring& program, uint16_t port, const std::string& token) {
  std::wstring commandLine = L"\"" + program + L"\" " + std::to_wstring(port) + L" " +
                             std::wstring(token.begin(), token.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    RaiseOpenError("Cannot start the simulator host " + AnsiFromWide(program) + ": " +
                   SystemErrorText(GetLastError()) + ". Check KIVOCOM_SIMULATOR_HOST.");
  }
  // Wine gives no process handle for a Unix program, and its thread field then holds a stale
  // value that may name one of our own handles (the listener, say): close the pair only when a
  // process handle came with it. The connection's end tells when the host is gone.
  if (process.hProcess) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace

HostConnection::HostConnection() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) RaiseOpenError("Cannot start Windows Sockets for the simulator host.");
  winsockStarted_ = true;
  try {
    uint16_t port = 0;
    const std::wstring program = HostProgram();
    const SOCKET listener = ListenOnLoopback(port);
    const std::string token = NewToken();
    try {
      StartHost(program, port, token);
      WaitForHost(listener);
    } catch (...) {
      closesocket(listener);
      throw;
    }
    closesocket(listener);
    if (Receive() != token) RaiseOpenError("A program other than the simulator host answered on its loopback port.");
    const std::string opening = Receive();
    portNumber_ = OpenReply(opening).I32();
  } catch (const Error& error) {
    Close();
    if (error.Number() == kErrDeviceNotOpen) throw;
    throw Error(kErrDeviceNotOpen, kOpenSource, error.Description());
  } catch (...) {
    Close();
    throw;
  }
}

HostConnection::~HostConnection() {
  if (socket_ != INVALID_SOCKET) {
    shutdown(socket_, SD_SEND);
    const DWORD wait = kCloseMilliseconds;
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&wait), sizeof wait);
    char buffer[256];
    while (recv(socket_, buffer, sizeof buffer, 0) > 0) {
    }
  }
  Close();
}

void HostConnection::WaitForHost(Socket listener) {
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval wait{kConnectSeconds, 0};
  const int ready_count = select(0, &ready, nullptr, nullptr, &wait);
  if (ready_count == SOCKET_ERROR) RaiseSocketError("select");
  if (ready_count != 1) {
    RaiseOpenError("The simulator host did not connect within " + std::to_string(kConnectSeconds) +
                   " seconds: run KIVOCOM_SIMULATOR_HOST by hand to see why it stops.");
  }
  socket_ = accept(listener, nullptr, nullptr);
  if (socket_ == INVALID_SOCKET) RaiseSocketError("accept");
}

std::string HostConnection::Exchange(const std::string& request) {
  Send(request);
  return Receive();
}

void HostConnection::Send(const std::string& payload) {
  const std::string message = FramedMessage(payload);
  std::size_t sent = 0;
  while (sent < message.size()) {
    const int n = send(socket_, message.data() + sent, static_cast<int>(message.size() - sent), 0);
    if (n <= 0) {
      throw Error(kErrReadingDevice, "InstrumentSimulator - Host",
                  "The simulator host has gone (" + SystemErrorText(static_cast<DWORD>(WSAGetLastError())) +
                      "): create the simulator again.");
    }
    sent += static_cast<std::size_t>(n);
  }
}

std::string HostConnection::Receive() {
  char length[kLengthFieldSize];
  ReceiveExactly(length, sizeof length);
  std::string payload(AnnouncedLength(length), '\0');
  ReceiveExactly(payload.data(), payload.size());
  return payload;
}

void HostConnection::ReceiveExactly(char* buffer, std::size_t count) {
  std::size_t received = 0;
  while (received < count) {
    const int n = recv(socket_, buffer + received, static_cast<int>(count - received), 0);
    if (n <= 0) {
      throw Error(kErrReadingDevice, "InstrumentSimulator - Host",
                  "The simulator host ended its connection unexpectedly: run KIVOCOM_SIMULATOR_HOST by hand "
                  "to see why it stops, then create the simulator again.");
    }
    received += static_cast<std::size_t>(n);
  }
}

void HostConnection::Close() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = INVALID_SOCKET;
  if (winsockStarted_) WSACleanup();
  winsockStarted_ = false;
}

}  // namespace kivocom
