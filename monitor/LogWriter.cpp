#include "monitor/LogWriter.h"

#include "monitor/LogFile.h"
#include "toolkit/Files.h"

#include <utility>

struct TLogWriter::TShared {
  std::wstring LogPath;
  std::wstring AsidePath;
  SRWLOCK Lock = SRWLOCK_INIT;
  CONDITION_VARIABLE Wake = CONDITION_VARIABLE_INIT;
  // Guarded by Lock:
  std::string Queue;       // lines not in the log yet, oldest first
  size_t AsideBytes = 0;   // how many of them, from the front, the file beside the log holds
  bool More = false;       // lines came since the last try
  bool Finishing = false;  // the end of the run: one last try, then what is left goes aside
  bool MayRewrite = false;
  bool Quit = false;  // the owner is gone without an end
  TLogEnd End;
  LONG References = 1;
  // Set once the end is settled; made before the thread, closed by the last owner.
  HANDLE Done = CreateEventW(nullptr, TRUE, FALSE, nullptr);

  ~TShared() {
    if (Done) CloseHandle(Done);
  }
};

namespace {

// The lock, held for a scope.
class TLocked {
 public:
  explicit TLocked(SRWLOCK& Lock) : FLock(Lock) { AcquireSRWLockExclusive(&FLock); }
  ~TLocked() { ReleaseSRWLockExclusive(&FLock); }
  TLocked(const TLocked&) = delete;
  TLocked& operator=(const TLocked&) = delete;

 private:
  SRWLOCK& FLock;
};

// Another program holds the log open without letting it be written, but
// may let it be replaced.
bool HeldShut(DWORD Error) { return Error == ERROR_SHARING_VIOLATION || Error == ERROR_LOCK_VIOLATION; }

// The end of the run, on the writer's thread: Left (the first AsideBytes of
// it already in the file beside the log) is what the log did not take.
TLogEnd Settle(const std::wstring& LogPath, const std::wstring& AsidePath, const std::string& Left, size_t AsideBytes,
               bool MayRewrite, DWORD Error) {
  TLogEnd End;
  if (Left.empty()) return End;
  End.Error = Error;
  // Beside the log first: from then on they are on disk, whatever the rest
  // does.
  const bool Aside = AppendWhole(AsidePath, std::string_view(Left).substr(AsideBytes), End.AsideError);
  DWORD RewriteError = ERROR_SUCCESS;
  if (MayRewrite && HeldShut(Error) && RewriteLogFile(LogPath, Left, RewriteError)) {
    DeleteFileAnyPath(AsidePath);
    return TLogEnd();
  }
  End.Kind = Aside ? TLogEnd::KeptAside : TLogEnd::Lost;
  return End;
}

}  // namespace

TLogWriter::TLogWriter(std::wstring LogPath, std::wstring AsidePath) : FShared(new TShared) {
  FShared->LogPath = std::move(LogPath);
  FShared->AsidePath = std::move(AsidePath);
}

TLogWriter::~TLogWriter() {
  {
    TLocked Hold(FShared->Lock);
    FShared->Quit = true;
    WakeConditionVariable(&FShared->Wake);
  }
  Release(FShared);
}

void TLogWriter::Release(TShared* S) {
  if (InterlockedDecrement(&S->References) == 0) delete S;
}

bool TLogWriter::Started() {
  if (FThreadTried) return FThreadRuns;
  FThreadTried = true;
  InterlockedIncrement(&FShared->References);
  HANDLE Thread = FShared->Done ? CreateThread(nullptr, 0, ThreadProc, FShared, 0, nullptr) : nullptr;
  if (!Thread) {
    InterlockedDecrement(&FShared->References);
    return false;
  }
  CloseHandle(Thread);  // never waited for but through Done
  FThreadRuns = true;
  return true;
}

void TLogWriter::JoinAside(std::string Lines) {
  if (Lines.empty()) return;
  {
    TLocked Hold(FShared->Lock);
    FShared->AsideBytes = Lines.size();
    FShared->Queue.insert(0, Lines);
    FShared->More = true;
    WakeConditionVariable(&FShared->Wake);
  }
  Started();
}

bool TLogWriter::Add(std::string_view Lines) {
  if (Lines.empty()) return true;
  {
    TLocked Hold(FShared->Lock);
    if (FShared->Queue.size() + Lines.size() > MaxQueued) return false;
    FShared->Queue.append(Lines);
    FShared->More = true;
    WakeConditionVariable(&FShared->Wake);
  }
  // A thread that cannot be made leaves the lines queued for the end.
  Started();
  return true;
}

TLogEnd TLogWriter::Finish(std::string_view Last, DWORD TimeoutMs, bool MayRewrite) {
  {
    TLocked Hold(FShared->Lock);
    if (FShared->Finishing) return FShared->End;
    FShared->Queue.append(Last);
    if (FShared->Queue.empty()) return TLogEnd();
    FShared->Finishing = true;
    FShared->MayRewrite = MayRewrite;
    WakeConditionVariable(&FShared->Wake);
  }
  if (!Started()) {
    // No thread to hand it to: the end is settled here.
    Work(*FShared);
    return FShared->End;
  }
  if (WaitForSingleObject(FShared->Done, TimeoutMs) != WAIT_OBJECT_0) {
    TLogEnd End;
    End.Kind = TLogEnd::NoAnswer;
    End.Error = ERROR_TIMEOUT;
    return End;
  }
  TLocked Hold(FShared->Lock);
  return FShared->End;
}

DWORD WINAPI TLogWriter::ThreadProc(LPVOID Parameter) {
  auto* S = static_cast<TShared*>(Parameter);
  Work(*S);
  Release(S);
  return 0;
}

void TLogWriter::Work(TShared& S) {
  std::string Batch;
  size_t Aside = 0;
  DWORD Error = ERROR_SUCCESS;
  bool Final = false;
  {
    TLocked Hold(S.Lock);
    for (;;) {
      // A try that failed is made again when the next line comes, or at the
      // end.
      while (!S.Quit && !S.Finishing && !S.More) SleepConditionVariableSRW(&S.Wake, &S.Lock, INFINITE, 0);
      if (S.Quit && !S.Finishing) return;
      Final = S.Finishing;
      S.More = false;
      Batch = S.Queue;
      Aside = S.AsideBytes;
      ReleaseSRWLockExclusive(&S.Lock);
      const bool Appended = AppendWhole(S.LogPath, Batch, Error);
      // Joined: the lines beside the log go.
      if (Appended && Aside > 0) DeleteFileAnyPath(S.AsidePath);
      AcquireSRWLockExclusive(&S.Lock);
      if (Appended) {
        S.Queue.erase(0, Batch.size());
        S.AsideBytes = 0;
        Error = ERROR_SUCCESS;
      }
      if (Final) break;
    }
    Batch = S.Queue;
    Aside = S.AsideBytes;
  }
  const TLogEnd End = Settle(S.LogPath, S.AsidePath, Batch, Aside, S.MayRewrite, Error);
  {
    TLocked Hold(S.Lock);
    S.End = End;
  }
  SetEvent(S.Done);
}
