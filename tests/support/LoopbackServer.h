#pragma once
// A tiny HTTP/1.1 server on 127.0.0.1 for the tests: it answers every
// connection the way the test asks (200, 404, 500, reset, hang, slow) and
// records each request head it reads. It only ever listens on the loopback
// address and never connects anywhere.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vtest {

// What the server does with each new connection.
enum class Answer {
  Ok200,        // "HTTP/1.1 200 OK" with a short body
  NotFound404,  // "HTTP/1.1 404 Not Found"
  Error500,     // "HTTP/1.1 500 Internal Server Error"
  Reset,        // read the request, wait 50 ms (so the client is reading), then reset the connection (SO_LINGER {1,0} +
                // closesocket) without answering
  Hang,         // read the request and never answer, until ReleaseHung(), ResetHung(), SetAnswer() to another mode, or
                // destruction
  Slow,         // wait SlowDelayMs, then answer 200
  SlowReset,    // read the request, wait SlowDelayMs without answering, then reset the connection
  Close,        // read the request and close the connection without answering (under Wine, InternetOpenUrlA still
                // returns a handle, with no status code)
};

struct Request {
  std::string RequestLine;  // e.g. "GET /path HTTP/1.1" (without CR LF)
  std::string UserAgent;    // value of the User-Agent header ("" if none)
  std::string Raw;          // the whole request head as received
};

class LoopbackServer {
 public:
  // Limits that keep the server bounded whatever a client does.
  static constexpr std::size_t kMaxHeadBytes = 16 * 1024;  // a longer head is dropped unanswered
  static constexpr unsigned kHeadTimeoutMs = 5000;         // a client silent this long is dropped
  static constexpr std::size_t kMaxConnections = 64;       // further connections are reset at once
  static constexpr std::size_t kMaxStoredRequests =
      10000;  // Requests() keeps the first ones; RequestCount() counts all

  LoopbackServer();   // WSAStartup, bind 127.0.0.1 on a free port (port 0), listen, start the accept thread. Throws
                      // std::runtime_error on failure.
  ~LoopbackServer();  // stops everything: closes the listener and every open connection (hung ones included), joins its
                      // threads. Must not hang.
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  unsigned short Port() const;
  std::string Url(const std::string& path = "/") const;  // "http://127.0.0.1:<port><path>"

  void SetAnswer(Answer answer);     // for connections accepted from now on
  void SetSlowDelayMs(unsigned ms);  // default 500
  // Closes every connection held by Hang (the client then sees a closed connection).
  // Under Wine, WinINet takes such a close for an empty answer: InternetOpenUrlA returns a handle (status code 0).
  void ReleaseHung();
  // Resets every connection held by Hang (the client then sees a reset connection: InternetOpenUrlA fails).
  void ResetHung();

  void Down();  // stop listening: later connections are refused (port kept)
  void Up();    // listen again on the same port (SO_REUSEADDR); throws if it cannot

  std::size_t RequestCount() const;
  std::vector<Request> Requests() const;
  // Waits (without pumping window messages) until at least n requests were received, or timeoutMs passed; returns
  // whether they were.
  bool WaitForRequests(std::size_t n, unsigned timeoutMs) const;
  // How many connections are currently held open by Hang.
  std::size_t HungCount() const;
  // Waits (without pumping window messages) until at least n connections are held by Hang, or timeoutMs passed; returns
  // whether they were.
  bool WaitForHung(std::size_t n, unsigned timeoutMs) const;

  // A loopback port on which nothing listens right now (bind port 0, read it, close).
  static unsigned short RefusedPort();

 private:
  struct Connection;
  struct State;

  void ChangeListener(bool up);
  void AcceptLoop();
  void Serve(Connection* conn);

  std::unique_ptr<State> state_;
  unsigned short port_ = 0;
};

}  // namespace vtest
