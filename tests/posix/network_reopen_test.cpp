// SPDX-License-Identifier: MIT
// A network port opened again right after it was closed (as every exchange does) keeps its
// connection, and a connection nobody takes back is closed soon after, so the server's port is
// free for others.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "kivocom/kivocom.h"
#include "kivocom/port_devices.h"

namespace kivocom {
namespace {

// A plain TCP server on 127.0.0.1 that answers every command ended by CR with "+1" CR LF, one
// client at a time, and counts the connections it accepts and sees end.
class CountingServer {
 public:
  CountingServer() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CountingServer() {
    shutdown(listener_, SHUT_RDWR);
    {
      std::lock_guard lock(mutex_);
      if (client_ >= 0) shutdown(client_, SHUT_RDWR);
    }
    thread_.join();
    close(listener_);
  }

  std::string Address() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
  int Accepted() {
    std::lock_guard lock(mutex_);
    return accepted_;
  }
  // Waits up to `timeout` for `count` connections to have ended.
  bool WaitForEnded(int count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return ended_ >= count; });
  }

 private:
  void Serve() {
    for (;;) {
      const int client = accept(listener_, nullptr, nullptr);
      if (client < 0) return;
      {
        std::lock_guard lock(mutex_);
        client_ = client;
        ++accepted_;
      }
      Answer(client);
      std::lock_guard lock(mutex_);
      client_ = -1;
      ++ended_;
      close(client);
      changed_.notify_all();
    }
  }

  static void Answer(int client) {
    std::string command;
    char byte = 0;
    while (read(client, &byte, 1) == 1) {
      if (byte != '\r') {
        command += byte;
      } else if (!std::exchange(command, {}).empty()) {
        (void)!write(client, "+1\r\n", 4);
      }
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  int client_ = -1;
  int accepted_ = 0;
  int ended_ = 0;
};

class NetworkReopenTest : public ::testing::Test {
 protected:
  static constexpr int32_t kPort = 43;

  NetworkReopenTest() {
    InstallThreadSerialControl(CreatePlatformSerialControl());
    port.port(kPort);
    port.MaxBaudRate(BAUD_921600);
    port.BaudRate(BAUD_9600);
    port.TimeOut(1000);
    port.Retries(1);
  }
  ~NetworkReopenTest() override {
    MapPortToDevice(kPort, "");
    InstallThreadSerialControl(nullptr);
  }

  CCOMPort port;
  ECOMError err = CE_NONE;
};

TEST_F(NetworkReopenTest, ExchangesReuseTheConnectionAndAClosedPortLetsItGo) {
  CountingServer server;
  MapPortToDevice(kPort, server.Address());
  for (const bool autoClose : {false, true}) {
    SCOPED_TRACE(autoClose);
    port.AutoClose(autoClose);
    for (int exchange = 0; exchange < 3; ++exchange) {
      EXPECT_EQ(port.ReadPort(err, "PV"), "+1");
      EXPECT_EQ(err, CE_NONE);
    }
  }
  EXPECT_EQ(server.Accepted(), 1) << "every opening after the first took the connection back";
  EXPECT_TRUE(server.WaitForEnded(1, std::chrono::seconds(5))) << "the closed port's connection is closed";
}

TEST_F(NetworkReopenTest, AnotherMappingClosesTheHeldConnectionBeforeConnecting) {
  CountingServer first;
  CountingServer second;
  port.AutoClose(false);
  MapPortToDevice(kPort, first.Address());
  EXPECT_EQ(port.ReadPort(err, "PV"), "+1");
  MapPortToDevice(kPort, second.Address());
  EXPECT_EQ(port.ReadPort(err, "PV"), "+1");
  EXPECT_TRUE(first.WaitForEnded(1, std::chrono::seconds(0)));
  EXPECT_EQ(second.Accepted(), 1);
}

}  // namespace
}  // namespace kivocom
