#include "bench/Probes.h"

#include "bench/Clock.h"
#include "bench/Unique.h"
#include "bench/Worker.h"
#include "tests/support/Pump.h"

#include <atomic>

namespace bench {

namespace {

// A socket read or write that takes longer than this fails the probe rather
// than holding the round.
constexpr DWORD SocketTimeoutMs = 5000;

// Times Job on a new thread from before the thread's creation to after its
// join. The job reports through the flag it shares with us, so that one left
// behind after the bound still has somewhere to write.
template <class Job>
ProbeResult TimeOnNewThread(Job Work, unsigned BoundMs) {
  auto Answered = std::make_shared<std::atomic<bool>>(false);
  const double Start = NowMs();
  Worker Thread([Work, Answered] { Answered->store(Work()); });
  const bool Joined = Thread.Join(BoundMs);
  ProbeResult Result;
  Result.Ms = NowMs() - Start;
  Result.Result = !Joined ? ProbeResult::TimedOut : *Answered ? ProbeResult::Answered : ProbeResult::Failed;
  return Result;
}

bool OpenUrl(const std::string& Url) {
  UniqueInternet Session(InternetOpenA(DefaultAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!Session) return false;
  UniqueInternet Request(InternetOpenUrlA(Session.Get(), Url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0));
  return static_cast<bool>(Request);
}

bool SendAll(SOCKET Socket, const std::string& Data) {
  std::size_t Sent = 0;
  while (Sent < Data.size()) {
    const int N = send(Socket, Data.data() + Sent, static_cast<int>(Data.size() - Sent), 0);
    if (N <= 0) return false;
    Sent += static_cast<std::size_t>(N);
  }
  return true;
}

// Reads until the end of the first line; the rest of the answer is not
// wanted, as WinINet's caller above does not read the body either.
std::string ReadStatusLine(SOCKET Socket) {
  std::string Received;
  char Buffer[512];
  while (Received.find("\r\n") == std::string::npos && Received.size() < 4096) {
    const int N = recv(Socket, Buffer, sizeof Buffer, 0);
    if (N <= 0) break;
    Received.append(Buffer, static_cast<std::size_t>(N));
  }
  return Received.substr(0, Received.find("\r\n"));
}

bool SocketGet(unsigned short Port) {
  UniqueSocket Socket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!Socket) return false;
  const DWORD Timeout = SocketTimeoutMs;
  setsockopt(Socket.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&Timeout), sizeof Timeout);
  setsockopt(Socket.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&Timeout), sizeof Timeout);
  sockaddr_in Address{};
  Address.sin_family = AF_INET;
  Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Address.sin_port = htons(Port);
  if (connect(Socket.Get(), reinterpret_cast<const sockaddr*>(&Address), sizeof Address) != 0) return false;
  const std::string Request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(Port) +
                              "\r\nUser-Agent: " + DefaultAgent + "\r\nConnection: close\r\n\r\n";
  if (!SendAll(Socket.Get(), Request)) return false;
  return ReadStatusLine(Socket.Get()).rfind("HTTP/1.1 200 ", 0) == 0;
}

}  // namespace

ComponentProbe::ComponentProbe(const std::string& Url) : FNotify(std::make_unique<TKVRINetNotify>(nullptr)) {
  FNotify->SetURL(Url);
  FNotify->OnDownNotification = [this](TObject*, bool IsConnected) {
    FConnected = IsConnected;
    FDone = true;
  };
}

ProbeResult ComponentProbe::Run(unsigned BoundMs) {
  FDone = false;
  FConnected = false;
  const double Start = NowMs();
  FNotify->Start();
  const bool Done = vtest::PumpUntil([this] { return FDone; }, BoundMs);
  ProbeResult Result;
  Result.Ms = NowMs() - Start;
  Result.Result = !Done ? ProbeResult::TimedOut : FConnected ? ProbeResult::Answered : ProbeResult::Failed;
  return Result;
}

ProbeResult WinInetOnNewThread(const std::string& Url, unsigned BoundMs) {
  return TimeOnNewThread([Url] { return OpenUrl(Url); }, BoundMs);
}

ProbeResult SocketGetOnNewThread(unsigned short Port, unsigned BoundMs) {
  return TimeOnNewThread([Port] { return SocketGet(Port); }, BoundMs);
}

ProbeResult EmptyThread(unsigned BoundMs) {
  return TimeOnNewThread([] { return true; }, BoundMs);
}

}  // namespace bench
