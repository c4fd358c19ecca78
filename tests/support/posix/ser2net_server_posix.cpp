// SPDX-License-Identifier: MIT
// Starting, checking and stopping a real ser2net for the network-port tests.
#include "support/posix/ser2net_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace kivocom {
namespace {

constexpr auto kReadyWithin = std::chrono::seconds(5);
constexpr auto kStopGrace = std::chrono::seconds(2);

// A TCP port on 127.0.0.1 that no one listens on now: the system's choice for a bound socket.
int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// chardelay off: ser2net otherwise holds every reply back for a few character times.
std::string Connection(const std::string& name, const std::string& accepter, const std::string& device) {
  return "connection: &" + name + "\n  accepter: " + accepter + "\n  connector: serialdev," + device +
         ",9600n81,local\n  options:\n    chardelay: false\n";
}

bool Exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

std::string Ser2netServer::Program() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
    if (access(path, X_OK) == 0) return path;
  return {};
}

std::string Ser2netServer::Version() {
  const std::string program = Program();
  if (program.empty()) return {};
  FILE* pipe = popen((program + " -v").c_str(), "r");
  if (!pipe) return {};
  std::array<char, 256> line{};
  const bool read = fgets(line.data(), line.size(), pipe) != nullptr;
  pclose(pipe);
  std::string text = read ? line.data() : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

Ser2netServer::Ser2netServer(const std::string& device) : device_(device) {
  const std::string program = Program();
  if (program.empty()) {
    problem_ = "ser2net is not installed (apt-get install ser2net)";
    return;
  }
  telnetPort_ = FreeLoopbackPort();
  tcpPort_ = FreeLoopbackPort();
  adminPort_ = FreeLoopbackPort();
  const std::string config = folder_.Path("ser2net.yaml");
  std::ofstream(config) << Connection("rfc2217", "telnet(rfc2217),tcp(nodelay),127.0.0.1," + std::to_string(telnetPort_), device)
                        << Connection("tcp", "tcp(nodelay),127.0.0.1," + std::to_string(tcpPort_), device)
                        << "admin:\n  accepter: tcp,127.0.0.1," << adminPort_ << "\n";
  const std::string pidFile = folder_.Path("ser2net.pid");
  pid_ = fork();
  if (pid_ == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    dup2(quiet, STDOUT_FILENO);
    const int log = open((folder_.Path("ser2net.log")).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(log, STDERR_FILENO);
    execl(program.c_str(), program.c_str(), "-n", "-u", "-c", config.c_str(), "-P", pidFile.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto give_up = std::chrono::steady_clock::now() + kReadyWithin;
  while (!started_ && pid_ > 0 && std::chrono::steady_clock::now() < give_up) {
    started_ = Accepts(adminPort_);
    if (!started_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!started_) problem_ = "ser2net did not take connections within 5 s";
}

Ser2netServer::~Ser2netServer() { Stop(); }

std::string Ser2netServer::Rfc2217Address() const { return "rfc2217://127.0.0.1:" + std::to_string(telnetPort_); }

std::string Ser2netServer::TcpAddress() const { return "tcp://127.0.0.1:" + std::to_string(tcpPort_); }

void Ser2netServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

void Ser2netServer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto give_up = std::chrono::steady_clock::now() + kStopGrace;
  while (!Exited(pid_)) {
    if (std::chrono::steady_clock::now() >= give_up) return Kill();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

bool Ser2netServer::WaitUntilDeviceReleased(std::chrono::milliseconds timeout) const {
  const std::string fds = "/proc/" + std::to_string(pid_) + "/fd";
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    bool holds = false;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator(fds, error))
      holds = holds || std::filesystem::read_symlink(fd.path(), error) == device_;
    if (!holds) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace kivocom
