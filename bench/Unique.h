#pragma once
// One owner for each kind of system handle the benchmark opens, so that no
// early return or exception leaks one: a leak of our own would show up in the
// very counters the soak reads.

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <utility>

namespace bench {

template <class Traits>
class Unique {
 public:
  using Type = typename Traits::Type;

  Unique() = default;
  explicit Unique(Type Value) : FValue(Value) {}
  ~Unique() { Reset(); }
  Unique(Unique&& Other) noexcept : FValue(std::exchange(Other.FValue, Traits::Invalid())) {}
  Unique& operator=(Unique&& Other) noexcept {
    if (this != &Other) Reset(std::exchange(Other.FValue, Traits::Invalid()));
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Type Get() const { return FValue; }
  explicit operator bool() const { return Traits::Valid(FValue); }
  void Reset(Type Value = Traits::Invalid()) {
    if (Traits::Valid(FValue)) Traits::Close(FValue);
    FValue = Value;
  }

 private:
  Type FValue = Traits::Invalid();
};

// Kernel objects: some functions fail with NULL, others with INVALID_HANDLE_VALUE.
struct KernelTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Valid(Type H) { return H != nullptr && H != INVALID_HANDLE_VALUE; }
  static void Close(Type H) { CloseHandle(H); }
};

struct FindTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Type H) { return H != INVALID_HANDLE_VALUE; }
  static void Close(Type H) { FindClose(H); }
};

struct SocketTraits {
  using Type = SOCKET;
  static Type Invalid() { return INVALID_SOCKET; }
  static bool Valid(Type S) { return S != INVALID_SOCKET; }
  static void Close(Type S) { closesocket(S); }
};

// Objects that a null value marks as missing, closed by one call.
template <class T, auto CloseFunction>
struct NullTraits {
  using Type = T;
  static Type Invalid() { return nullptr; }
  static bool Valid(Type H) { return H != nullptr; }
  static void Close(Type H) { CloseFunction(H); }
};

using UniqueHandle = Unique<KernelTraits>;
using UniqueFind = Unique<FindTraits>;
using UniqueSocket = Unique<SocketTraits>;
using UniqueInternet = Unique<NullTraits<HINTERNET, InternetCloseHandle>>;
using UniqueGdiObject = Unique<NullTraits<HGDIOBJ, DeleteObject>>;
using UniqueWindow = Unique<NullTraits<HWND, DestroyWindow>>;

// Committed memory, released with VirtualFree.
class UniqueMemory {
 public:
  explicit UniqueMemory(SIZE_T Bytes)
      : FBase(VirtualAlloc(nullptr, Bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)), FBytes(Bytes) {}
  ~UniqueMemory() {
    if (FBase) VirtualFree(FBase, 0, MEM_RELEASE);
  }
  UniqueMemory(const UniqueMemory&) = delete;
  UniqueMemory& operator=(const UniqueMemory&) = delete;

  void* Get() const { return FBase; }
  SIZE_T Size() const { return FBytes; }

 private:
  void* FBase;
  SIZE_T FBytes;
};

// Winsock for as long as the object lives (the library counts its users).
class WinsockSession {
 public:
  WinsockSession() {
    WSADATA Data{};
    FStarted = WSAStartup(MAKEWORD(2, 2), &Data) == 0;
  }
  ~WinsockSession() {
    if (FStarted) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool Started() const { return FStarted; }

 private:
  bool FStarted = false;
};

}  // namespace bench
