// SPDX-License-Identifier: MIT
// Two threads: the network thread owns the connections and cuts what clients send into commands;
// the line thread owns the port object (made there, as port objects stay on their thread) and
// runs the queued exchanges one after the other, streaming each reply into its client's unsent
// bytes. One mutex guards the queue and what the threads share of each client.
#include "lineserver/line_server.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "kivocom/error.h"
#include "lineserver/client_session.h"
#include "lineserver/line_exchange.h"
#include "lineserver/server_sockets.h"
#include "platform/network/socket_stream.h"

namespace kivocom {
namespace {

constexpr std::size_t kReceiveLimit = 4096;
// Bytes a client has not read (or, holding the line, not yet had written); beyond, it is dropped
// rather than let memory grow.
constexpr std::size_t kMostUnsent = 1 << 20;

struct Client {
  int id = 0;
  std::size_t endpoint = 0;
  SocketHandle socket = -1;
  std::string peer;
  ClientSession session;
  // Shared with the line thread, under the state's mutex:
  std::string unsent;          // bytes for the client, as it reads them
  std::string forLine;         // a client holding the line: its bytes not yet written
  bool left = false;           // the connection is closed
  bool closeWhenSent = false;  // the line was lost: close once the client has what came
  std::size_t waiting = 0;     // its commands in the queue

  Client(ESmartSwitchStyle model, LineSettings inForce, std::size_t longest) : session(model, inForce, longest) {}
};

struct Job {
  std::shared_ptr<Client> client;
  FramedCommand command;
  ReplyKind kind = ReplyKind::Reply;
  bool alone = false;  // the client holds the line until it leaves
};

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes.substr(0, 32)) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b < 0x7F) {
      text += c;
    } else {
      text += '<';
      text += digits[b >> 4];
      text += digits[b & 15];
      text += '>';
    }
  }
  return bytes.size() > 32 ? text + "..." : text;
}

// The port's settings as the COM-port option carries them.
LineSettings SettingsInForce(const CCOMPort& port) {
  LineSettings settings;
  settings.baud = std::stoi(port.BaudRateName());
  settings.parity = "NEOMS"[std::clamp<int>(port.Parity(), PARITY_NONE, PARITY_SPACE)];
  settings.dataBits = 4 + std::clamp<int>(port.DataBits(), DATA_4BITS, DATA_8BITS);
  settings.stopBits = port.StopBits() == STOP_2BITS     ? StopBits::Two
                      : port.StopBits() == STOP_1_5BITS ? StopBits::OneAndHalf
                                                        : StopBits::One;
  return settings;
}

}  // namespace

struct LineServer::State {
  PortMaker makePort;
  ServeSettings settings;
  ServeLog log;
  EControllerStyle style = CS_KIVO;
  LineSettings inForce;

  std::mutex mutex;
  std::condition_variable jobReady;
  std::deque<Job> jobs;
  std::map<int, std::shared_ptr<Client>> clients;
  std::vector<SocketHandle> listeners;
  std::atomic<bool> stopping{false};
  SocketWaker waker;
  std::thread network;
  std::thread line;
  int nextId = 1;

  std::size_t Endpoints() const { return std::max<std::size_t>(settings.switchPorts.size(), 1); }

  std::string EndpointName(std::size_t endpoint) const {
    const std::string port = std::to_string(settings.firstPort + static_cast<int>(endpoint));
    if (endpoint == Endpoints()) return "the whole line (" + port + ")";
    if (settings.switchPorts.empty()) return "the port (" + port + ")";
    return "switch port " + settings.switchPorts[endpoint] + " (" + port + ")";
  }

  std::string Who(const Client& client) const { return client.peer + " on " + EndpointName(client.endpoint); }

  // ---- the line thread ----

  void RunLine(std::promise<void>& started) {
    std::unique_ptr<CCOMPort> port;
    try {
      port = makePort();
      port->AutoClose(false);
      style = port->ControllerStyle();
      inForce = SettingsInForce(*port);
    } catch (...) {
      started.set_exception(std::current_exception());
      return;
    }
    started.set_value();
    while (auto job = NextJob()) {
      RunJob(*port, *job);
      Release(*port);
    }
    Release(*port);
  }

  std::optional<Job> NextJob() {
    std::unique_lock lock(mutex);
    jobReady.wait(lock, [&] { return stopping || !jobs.empty(); });
    if (stopping) return std::nullopt;
    Job job = std::move(jobs.front());
    jobs.pop_front();
    return job;
  }

  // With nothing waiting, the switch is released and the line closed, as a port does after
  // every exchange; the next command opens and routes it again.
  void Release(CCOMPort& port) {
    {
      std::lock_guard lock(mutex);
      if (!jobs.empty() && !stopping) return;
    }
    try {
      port.ClosePort();
    } catch (const std::exception& e) {
      log(std::string("could not release the line: ") + e.what());
    }
  }

  void RunJob(CCOMPort& port, const Job& job) {
    Client& client = *job.client;
    auto deliver = [&](std::string_view piece) {
      {
        std::lock_guard lock(mutex);
        if (client.left) return;
        client.unsent += client.session.ToClient(piece);
      }
      waker.Wake();
    };
    ExchangeEnd end;
    std::string loss;
    if (job.alone) {
      log(Who(client) + " holds the line");
      auto take = [&] {
        std::lock_guard lock(mutex);
        return std::exchange(client.forLine, std::string());
      };
      auto leaving = [&] {
        std::lock_guard lock(mutex);
        return client.left;
      };
      end = PassThrough(port, take, deliver, leaving, stopping, loss);
    } else {
      const std::string switchPort = settings.switchPorts.empty() ? "" : settings.switchPorts[client.endpoint];
      end = RunExchange(port, job.command, switchPort, job.kind, deliver, stopping, loss);
    }
    std::lock_guard lock(mutex);
    if (client.waiting > 0) --client.waiting;
    if (end == ExchangeEnd::LineLost) LoseLine(client, loss);
  }

  // The requester and every client waiting for the line are told by the close of their
  // connection; their queued commands go.
  void LoseLine(Client& requester, const std::string& loss) {
    std::string told = requester.peer;
    requester.closeWhenSent = true;
    for (const Job& job : jobs) {
      if (!job.client->closeWhenSent) told += ", " + job.client->peer;
      job.client->closeWhenSent = true;
      job.client->waiting = 0;
    }
    jobs.clear();
    log("lost the line (" + loss + ")" +
        "; closing the connections waiting for it: " + told);
    waker.Wake();
  }

  // ---- the network thread ----

  void RunNetwork() {
    while (!stopping) {
      std::vector<SocketWatch> watches;
      std::vector<std::shared_ptr<Client>> watched;
      for (const SocketHandle listener : listeners) watches.push_back({listener});
      {
        std::lock_guard lock(mutex);
        for (const auto& [id, client] : clients) {
          watches.push_back({client->socket, !client->unsent.empty()});
          watched.push_back(client);
        }
      }
      waker.Wait(watches);
      if (stopping) break;
      for (std::size_t i = 0; i < listeners.size(); ++i)
        if (watches[i].readable) Accept(i);
      for (std::size_t i = 0; i < watched.size(); ++i) {
        if (watches[listeners.size() + i].readable) Receive(watched[i]);
        Flush(watched[i]);
      }
    }
    CloseAll();
  }

  void Accept(std::size_t endpoint) {
    while (auto accepted = AcceptConnection(listeners[endpoint])) {
      std::lock_guard lock(mutex);
      if (clients.size() >= settings.mostClients) {
        log("refused " + accepted->second + " on " + EndpointName(endpoint) + ": " +
            std::to_string(settings.mostClients) + " clients already connected");
        CloseSocket(accepted->first);
        continue;
      }
      auto client = std::make_shared<Client>(settings.switchModel, inForce, settings.longestCommand);
      client->id = nextId++;
      client->endpoint = endpoint;
      client->socket = accepted->first;
      client->peer = accepted->second;
      clients[client->id] = client;
      log("connected " + Who(*client));
      if (endpoint == Endpoints()) {
        jobs.push_back({client, {}, ReplyKind::Reply, true});
        jobReady.notify_one();
      }
    }
  }

  void Receive(const std::shared_ptr<Client>& client) {
    std::string bytes;
    if (!ReceiveSome(client->socket, bytes, kReceiveLimit)) return Leave(*client, "left");
    ClientSession::Heard heard = client->session.Feed(bytes);
    std::lock_guard lock(mutex);
    client->unsent += heard.answer;
    for (const std::string& note : heard.notes) log(Who(*client) + " " + note);
    if (heard.purgeCommands) DropQueued(*client);
    if (client->endpoint == Endpoints()) {
      client->forLine += heard.rawData;
      if (client->forLine.size() > kMostUnsent) heard.refusal = "more bytes than the line takes";
    } else {
      for (const std::string& frame : heard.commands) Queue(client, frame);
    }
    if (heard.refusal) Drop(*client, *heard.refusal);
  }

  void Queue(const std::shared_ptr<Client>& client, const std::string& frame) {
    const std::optional<FramedCommand> command = ReadFramedCommand(style, frame);
    if (!command) {
      log("ignored a command from " + Who(*client) + ": not a command of the port's style: " + Hex(frame));
      return;
    }
    if (client->waiting >= settings.mostWaitingCommands) {
      log("dropped a command from " + Who(*client) + ": " + std::to_string(client->waiting) +
          " of its commands already waiting");
      return;
    }
    const bool download =
        std::find(settings.downloads.begin(), settings.downloads.end(), command->cmd) != settings.downloads.end();
    const ReplyKind kind = download                   ? ReplyKind::Download
                           : command->setStr.empty() ? ReplyKind::Reply
                                                      : ReplyKind::Acknowledgement;
    ++client->waiting;
    jobs.push_back({client, *command, kind, false});
    jobReady.notify_one();
  }

  // Under the mutex: the client's commands that have not started.
  void DropQueued(Client& client) {
    const auto mine = [&](const Job& job) { return job.client.get() == &client && !job.alone; };
    client.waiting -= std::min<std::size_t>(client.waiting, std::count_if(jobs.begin(), jobs.end(), mine));
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(), mine), jobs.end());
  }

  void Flush(const std::shared_ptr<Client>& client) {
    std::unique_lock lock(mutex);
    if (client->left) return;
    if (!client->unsent.empty()) {
      const long sent = SendSome(client->socket, client->unsent);
      if (sent < 0) {
        lock.unlock();
        return Leave(*client, "left (the connection failed)");
      }
      client->unsent.erase(0, static_cast<std::size_t>(sent));
      if (client->unsent.size() > kMostUnsent) return Drop(*client, "does not read what it is sent");
    }
    if (client->closeWhenSent && client->unsent.empty()) Drop(*client, "closed: the line was lost");
  }

  void Leave(Client& client, const std::string& how) {
    std::lock_guard lock(mutex);
    Drop(client, how);
  }

  // Under the mutex. An exchange under way for the client goes on: its reply is read and
  // dropped, and the switch released as after any other.
  void Drop(Client& client, const std::string& why) {
    if (client.left) return;
    DropQueued(client);
    client.left = true;
    CloseSocket(client.socket);
    clients.erase(client.id);
    log(Who(client) + " " + why);
  }

  void CloseAll() {
    std::lock_guard lock(mutex);
    for (const auto& [id, client] : clients) {
      client->left = true;
      CloseSocket(client->socket);
    }
    if (!clients.empty()) log("closed " + std::to_string(clients.size()) + " connection(s): the server stops");
    clients.clear();
    for (const SocketHandle listener : listeners) CloseSocket(listener);
    listeners.clear();
  }
};

LineServer::LineServer(PortMaker makePort, ServeSettings settings, ServeLog log) : state_(std::make_unique<State>()) {
  state_->makePort = std::move(makePort);
  state_->settings = std::move(settings);
  state_->log = std::move(log);
}

LineServer::~LineServer() { Stop(); }

void LineServer::Start() {
  State& s = *state_;
  std::promise<void> started;
  std::future<void> made = started.get_future();
  s.line = std::thread([&s, &started] { s.RunLine(started); });
  try {
    made.get();
    for (std::size_t endpoint = 0; endpoint <= s.Endpoints(); ++endpoint) {
      const int port = s.settings.firstPort + static_cast<int>(endpoint);
      try {
        s.listeners.push_back(ListenOn(s.settings.host, port));
      } catch (const SocketFailure& e) {
        throw Error(kErrDeviceNotOpen, "kivocom serve",
                    "cannot listen on " + s.settings.host + " port " + std::to_string(port) + ": " + e.what());
      }
      s.log("serving " + s.EndpointName(endpoint) + " on " + s.settings.host + ":" + std::to_string(port));
    }
  } catch (...) {
    Stop();
    throw;
  }
  s.network = std::thread([&s] { s.RunNetwork(); });
}

void LineServer::Stop() {
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    s.stopping = true;
  }
  s.jobReady.notify_all();
  s.waker.Wake();
  if (s.network.joinable()) s.network.join();
  if (s.line.joinable()) s.line.join();
  for (const SocketHandle listener : s.listeners) CloseSocket(listener);
  s.listeners.clear();
}

}  // namespace kivocom
