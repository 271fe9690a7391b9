#include "tests/support/LoopbackServer.h"

#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace vtest {

namespace {

using Clock = std::chrono::steady_clock;

// How often a waiting connection thread looks at the stop flag.
constexpr long kPollMicroseconds = 50 * 1000;
// How often the accept thread looks for Down(), Up() and the stop flag.
constexpr long kListenerPollMicroseconds = 20 * 1000;
// How long a graceful close waits for the client to close its side.
constexpr auto kDrainTime = std::chrono::milliseconds(1000);
constexpr int kBacklog = 32;
// Reset waits this long after the request so that the client is already
// waiting for the answer: under Wine, a reset that reaches a client socket
// nobody is reading from is later reported as an orderly close, which
// WinINet takes for an (empty) answer.
constexpr auto kResetDelay = std::chrono::milliseconds(50);

std::runtime_error SocketError(const char* what) {
  return std::runtime_error(std::string("LoopbackServer: ") + what + " failed (WSA error " +
                            std::to_string(WSAGetLastError()) + ")");
}

// Keeps a socket out of child processes: a test may start the program with
// inherited handles, and an inherited copy would keep a "closed" listener
// listening (or a closed connection open) until the child exits.
void MakeNotInheritable(SOCKET s) { SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0); }

SOCKET NewTcpSocket() {
  SOCKET s =
      WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) {
    // Systems without WSA_FLAG_NO_HANDLE_INHERIT reject it.
    s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  }
  if (s != INVALID_SOCKET) MakeNotInheritable(s);
  return s;
}

sockaddr_in LoopbackAddress(unsigned short port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  return addr;
}

unsigned short LocalPort(SOCKET s) {
  sockaddr_in addr{};
  int len = sizeof addr;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) throw SocketError("getsockname");
  return ntohs(addr.sin_port);
}

// A listening socket on 127.0.0.1:port (port 0 picks a free one).
SOCKET OpenListener(unsigned short port) {
  SOCKET s = NewTcpSocket();
  if (s == INVALID_SOCKET) throw SocketError("socket");
  // Lets Up() bind the port again while earlier connections sit in TIME_WAIT.
  BOOL reuse = TRUE;
  sockaddr_in addr = LoopbackAddress(port);
  if (setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse) != 0 ||
      bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 || listen(s, kBacklog) != 0) {
    std::runtime_error error = SocketError(port == 0 ? "bind/listen on 127.0.0.1:0"
                                                     : ("bind/listen on 127.0.0.1:" + std::to_string(port)).c_str());
    closesocket(s);
    throw error;
  }
  // accept() follows select(); a client that gives up in between must not block it.
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  return s;
}

void AbortiveClose(SOCKET s) {
  linger hard{};
  hard.l_onoff = 1;
  hard.l_linger = 0;
  setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
  closesocket(s);
}

// Waits up to `micros` for s to become readable (or, for a listener, to
// have a connection to accept); <0 on error.
int WaitReadable(SOCKET s, long micros = kPollMicroseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(s, &readable);
  timeval tv{0, micros};
  return select(0, &readable, nullptr, nullptr, &tv);
}

// Sends FIN, reads whatever the client still sends until it closes (so
// unread bytes do not turn the close into a reset), then closes. Bounded by
// kDrainTime and by the stop flag.
void GracefulClose(SOCKET s, const std::atomic<bool>& stopping) {
  shutdown(s, SD_SEND);
  const auto deadline = Clock::now() + kDrainTime;
  char sink[1024];
  while (!stopping && Clock::now() < deadline) {
    const int ready = WaitReadable(s);
    if (ready < 0) break;
    if (ready == 0) continue;
    if (recv(s, sink, sizeof sink, 0) <= 0) break;
  }
  closesocket(s);
}

bool SendAll(SOCKET s, const std::string& data) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(data.size() - sent, 64 * 1024));
    const int n = send(s, data.data() + sent, chunk, 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to and including the blank line that ends the request head.
// False if the client closes, stays silent too long, sends a head that is
// too large, or the server stops.
bool ReadHead(SOCKET s, std::string& head, const std::atomic<bool>& stopping) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(LoopbackServer::kHeadTimeoutMs);
  char buffer[4096];
  while (!stopping && Clock::now() < deadline) {
    const int ready = WaitReadable(s);
    if (ready < 0) return false;
    if (ready == 0) continue;
    const std::size_t room = std::min(sizeof buffer, LoopbackServer::kMaxHeadBytes - head.size());
    const int n = recv(s, buffer, static_cast<int>(room), 0);
    if (n <= 0) return false;
    const std::size_t searchFrom = head.size() >= 3 ? head.size() - 3 : 0;
    head.append(buffer, static_cast<std::size_t>(n));
    const std::size_t end = head.find("\r\n\r\n", searchFrom);
    if (end != std::string::npos) {
      head.resize(end + 4);
      return true;
    }
    if (head.size() >= LoopbackServer::kMaxHeadBytes) return false;
  }
  return false;
}

std::string Trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool EqualsNoCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return i == a.size() && b[i] == '\0';
}

Request ParseHead(const std::string& head) {
  Request request;
  request.Raw = head;
  std::size_t lineEnd = head.find("\r\n");
  request.RequestLine = head.substr(0, lineEnd);
  std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
  while (pos < head.size()) {
    lineEnd = head.find("\r\n", pos);
    if (lineEnd == std::string::npos) lineEnd = head.size();
    const std::string line = head.substr(pos, lineEnd - pos);
    pos = lineEnd + 2;
    if (line.empty()) break;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (EqualsNoCase(Trim(line.substr(0, colon)), "user-agent")) {
      request.UserAgent = Trim(line.substr(colon + 1));
      break;
    }
  }
  return request;
}

std::string Response(int status, const char* reason, const std::string& body) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\n"
         "Content-Type: text/plain\r\n"
         "Content-Length: " +
         std::to_string(body.size()) +
         "\r\n"
         "Connection: close\r\n"
         "\r\n" +
         body;
}

}  // namespace

struct LoopbackServer::Connection {
  // Owned and closed by the connection's thread, except that ResetHung()
  // closes it (and sets it to INVALID_SOCKET) while the connection is hung.
  SOCKET sock = INVALID_SOCKET;
  Answer answer = Answer::Ok200;
  unsigned slowDelayMs = 0;
  std::uint64_t releaseGeneration = 0;  // State::releaseGeneration when accepted
  bool hung = false;                    // held by Hang right now (guarded by State::mutex)
  bool finished = false;                // the thread is about to return (guarded by State::mutex)
  std::thread thread;
};

struct LoopbackServer::State {
  // Down() and Up() hand their work to the accept thread, which alone uses
  // and closes the listener.
  struct ListenChange {
    bool up = false;
    bool done = false;
    std::string error;  // why Up() failed
  };

  bool wsaStarted = false;
  std::thread acceptThread;
  std::atomic<bool> stopping{false};
  SOCKET listener = INVALID_SOCKET;  // used by the constructor, then by the accept thread only

  mutable std::mutex mutex;
  mutable std::condition_variable changed;  // requests recorded, hung count changed, releases, listener changes, stop
  ListenChange* listenChange = nullptr;     // waiting for the accept thread
  Answer answer = Answer::Ok200;
  unsigned slowDelayMs = 500;
  std::uint64_t releaseGeneration = 0;  // bumped by ReleaseHung(), ResetHung() and by leaving Hang
  bool lastReleaseResets = false;       // whether the latest of those was ResetHung()
  std::list<std::unique_ptr<Connection>> connections;
  std::size_t hungCount = 0;
  std::size_t requestCount = 0;
  std::vector<Request> requests;

  // Frees what the constructor set up; used by the destructor and by a failed constructor.
  void Release() {
    if (listener != INVALID_SOCKET) {
      closesocket(listener);
      listener = INVALID_SOCKET;
    }
    if (wsaStarted) {
      WSACleanup();
      wsaStarted = false;
    }
  }

  // Releases every hung connection, and those accepted but not hung yet.
  // Gracefully: shuts the sending side now (the client sees the close at
  // once) and lets the connection's thread finish closing. Abortively:
  // resets it here. Caller holds mutex.
  void ReleaseHungLocked(bool reset) {
    ++releaseGeneration;
    lastReleaseResets = reset;
    for (auto& conn : connections) {
      if (!conn->hung) continue;
      if (reset) {
        AbortiveClose(conn->sock);
        conn->sock = INVALID_SOCKET;
      } else {
        shutdown(conn->sock, SD_SEND);
      }
      conn->hung = false;
      --hungCount;
    }
    changed.notify_all();
  }
};

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
  State& st = *state_;
  try {
    WSADATA data{};
    const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) throw std::runtime_error("LoopbackServer: WSAStartup failed (" + std::to_string(started) + ")");
    st.wsaStarted = true;

    st.listener = OpenListener(0);
    port_ = LocalPort(st.listener);

    st.acceptThread = std::thread(&LoopbackServer::AcceptLoop, this);
  } catch (...) {
    st.Release();
    throw;
  }
}

LoopbackServer::~LoopbackServer() {
  State& st = *state_;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.stopping = true;
  }
  st.changed.notify_all();
  if (st.acceptThread.joinable()) st.acceptThread.join();

  // The accept thread is gone, so the list no longer grows. Every connection
  // thread sees the stop flag within one poll interval and closes its socket.
  for (auto& conn : st.connections) {
    if (conn->thread.joinable()) conn->thread.join();
  }
  st.connections.clear();
  st.Release();
}

unsigned short LoopbackServer::Port() const { return port_; }

std::string LoopbackServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::SetAnswer(Answer answer) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->answer == Answer::Hang && answer != Answer::Hang) state_->ReleaseHungLocked(false);
  state_->answer = answer;
}

void LoopbackServer::SetSlowDelayMs(unsigned ms) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->slowDelayMs = ms;
}

void LoopbackServer::ReleaseHung() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->ReleaseHungLocked(false);
}

void LoopbackServer::ResetHung() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->ReleaseHungLocked(true);
}

void LoopbackServer::Down() { ChangeListener(false); }

void LoopbackServer::Up() { ChangeListener(true); }

void LoopbackServer::ChangeListener(bool up) {
  State& st = *state_;
  State::ListenChange change;
  change.up = up;
  std::unique_lock<std::mutex> lock(st.mutex);
  st.changed.wait(lock, [&] { return st.listenChange == nullptr || st.stopping; });
  if (st.stopping) return;
  st.listenChange = &change;
  st.changed.notify_all();
  st.changed.wait(lock, [&] { return change.done; });
  if (!change.error.empty()) throw std::runtime_error(change.error);
}

std::size_t LoopbackServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->requestCount;
}

std::vector<Request> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->requests;
}

bool LoopbackServer::WaitForRequests(std::size_t n, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return state_->requestCount >= n; });
}

std::size_t LoopbackServer::HungCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->hungCount;
}

bool LoopbackServer::WaitForHung(std::size_t n, unsigned timeoutMs) const {
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return state_->hungCount >= n; });
}

unsigned short LoopbackServer::RefusedPort() {
  WSADATA data{};
  const int started = WSAStartup(MAKEWORD(2, 2), &data);
  if (started != 0) throw std::runtime_error("LoopbackServer: WSAStartup failed (" + std::to_string(started) + ")");
  unsigned short port = 0;
  SOCKET s = NewTcpSocket();
  try {
    if (s == INVALID_SOCKET) throw SocketError("socket");
    sockaddr_in addr = LoopbackAddress(0);
    if (bind(s, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) throw SocketError("bind on 127.0.0.1:0");
    port = LocalPort(s);
  } catch (...) {
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    throw;
  }
  closesocket(s);
  WSACleanup();
  return port;
}

void LoopbackServer::AcceptLoop() {
  State& st = *state_;
  for (;;) {
    std::list<std::unique_ptr<Connection>> finished;
    {
      std::unique_lock<std::mutex> lock(st.mutex);
      if (st.listenChange != nullptr) {
        State::ListenChange& change = *st.listenChange;
        if (!change.up && st.listener != INVALID_SOCKET) {
          closesocket(st.listener);
          st.listener = INVALID_SOCKET;
        } else if (change.up && st.listener == INVALID_SOCKET) {
          try {
            st.listener = OpenListener(port_);
          } catch (const std::exception& e) {
            change.error = e.what();
          }
        }
        change.done = true;
        st.listenChange = nullptr;
        st.changed.notify_all();
      }
      if (st.listener == INVALID_SOCKET) {
        st.changed.wait_for(lock, std::chrono::milliseconds(100),
                            [&] { return st.stopping || st.listenChange != nullptr; });
      }
      if (st.stopping) {
        if (st.listenChange != nullptr) {  // a Down()/Up() racing the destructor
          st.listenChange->done = true;
          st.listenChange = nullptr;
          st.changed.notify_all();
        }
        return;
      }
      for (auto it = st.connections.begin(); it != st.connections.end();) {
        auto next = std::next(it);
        if ((*it)->finished) finished.splice(finished.end(), st.connections, it);
        it = next;
      }
    }
    for (auto& conn : finished) conn->thread.join();

    // Only this thread touches the listener, so it can wait on it unlocked.
    const SOCKET listener = st.listener;
    if (listener == INVALID_SOCKET) continue;
    const int ready = WaitReadable(listener, kListenerPollMicroseconds);
    if (ready < 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));  // never spin on a failing select()
    if (ready <= 0) continue;

    for (;;) {
      SOCKET s = accept(listener, nullptr, nullptr);
      if (s == INVALID_SOCKET) break;  // WSAEWOULDBLOCK: nothing more pending

      // The accepted socket inherits the listener's non-blocking mode.
      u_long nonBlocking = 0;
      ioctlsocket(s, FIONBIO, &nonBlocking);
      MakeNotInheritable(s);
      const DWORD timeoutMs = kHeadTimeoutMs;
      setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
      setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);

      std::lock_guard<std::mutex> lock(st.mutex);
      const auto active = std::count_if(st.connections.begin(), st.connections.end(),
                                        [](const std::unique_ptr<Connection>& c) { return !c->finished; });
      if (static_cast<std::size_t>(active) >= kMaxConnections) {
        AbortiveClose(s);
        continue;
      }
      auto conn = std::make_unique<Connection>();
      conn->sock = s;
      conn->answer = st.answer;
      conn->slowDelayMs = st.slowDelayMs;
      conn->releaseGeneration = st.releaseGeneration;
      try {
        conn->thread = std::thread(&LoopbackServer::Serve, this, conn.get());
      } catch (...) {
        AbortiveClose(s);
        continue;
      }
      st.connections.push_back(std::move(conn));
    }
  }
}

void LoopbackServer::Serve(Connection* conn) {
  State& st = *state_;
  const SOCKET s = conn->sock;
  const auto finish = [&] {
    std::lock_guard<std::mutex> lock(st.mutex);
    conn->finished = true;
  };

  std::string head;
  if (!ReadHead(s, head, st.stopping)) {
    AbortiveClose(s);
    finish();
    return;
  }

  Request request = ParseHead(head);
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    ++st.requestCount;
    if (st.requests.size() < kMaxStoredRequests) st.requests.push_back(std::move(request));
  }
  st.changed.notify_all();

  switch (conn->answer) {
    case Answer::Ok200:
      SendAll(s, Response(200, "OK", "OK\n"));
      break;
    case Answer::NotFound404:
      SendAll(s, Response(404, "Not Found", "Not Found\n"));
      break;
    case Answer::Error500:
      SendAll(s, Response(500, "Internal Server Error", "Internal Server Error\n"));
      break;
    case Answer::Reset:
    case Answer::SlowReset: {
      const auto delay = conn->answer == Answer::Reset ? kResetDelay : std::chrono::milliseconds(conn->slowDelayMs);
      std::unique_lock<std::mutex> lock(st.mutex);
      st.changed.wait_for(lock, delay, [&] { return st.stopping.load(); });
      lock.unlock();
      AbortiveClose(s);
      finish();
      return;
    }
    case Answer::Hang: {
      std::unique_lock<std::mutex> lock(st.mutex);
      // A release since this connection was accepted applies to it too, so
      // it is closed (or reset) without being held.
      if (!st.stopping && st.releaseGeneration != conn->releaseGeneration && st.lastReleaseResets) {
        lock.unlock();
        AbortiveClose(s);
        finish();
        return;
      }
      if (!st.stopping && st.releaseGeneration == conn->releaseGeneration) {
        conn->hung = true;
        ++st.hungCount;
        st.changed.notify_all();
        st.changed.wait(lock, [&] { return st.stopping || !conn->hung; });
        if (conn->hung) {
          conn->hung = false;
          --st.hungCount;
        }
        if (conn->sock == INVALID_SOCKET) {  // ResetHung() closed it
          lock.unlock();
          finish();
          return;
        }
      }
      break;
    }
    case Answer::Close:
      break;
    case Answer::Slow: {
      std::unique_lock<std::mutex> lock(st.mutex);
      const bool stopped =
          st.changed.wait_for(lock, std::chrono::milliseconds(conn->slowDelayMs), [&] { return st.stopping.load(); });
      lock.unlock();
      if (!stopped) SendAll(s, Response(200, "OK", "OK\n"));
      break;
    }
  }
  GracefulClose(s, st.stopping);
  finish();
}

}  // namespace vtest
