#pragma once
// The one thread that appends the kept lines to the log file, so that the
// user-interface thread never waits on the disk: a log on a network share
// that goes away with the network can hold a write for the client's whole
// reconnect time, just as the "Disconnected" line is written.
//
// The user-interface thread hands whole lines over through one bounded
// queue and goes on. The writer appends them whole, or not at all (a full
// disk, a log another program holds shut); lines it could not append stay
// first in the queue and go again with the next line. At the end of the run
// they are tried once more, and whatever the log still refuses is kept in a
// small file beside it, to be joined to the log, in order, at the next start.
// The thread shares nothing else with the rest of the program.

#include <windows.h>

#include <string>
#include <string_view>

// What the end of a run did with the lines the log had not taken.
struct TLogEnd {
  enum TKind {
    AllKept,    // all of them are in the log
    KeptAside,  // the log refused them; they are in the file beside it
    Lost,       // neither file took them
    NoAnswer,   // the disk did not answer in time
  };
  TKind Kind = AllKept;
  DWORD Error = ERROR_SUCCESS;       // why the log refused them
  DWORD AsideError = ERROR_SUCCESS;  // why the file beside it did too
};

class TLogWriter {
 public:
  // The most the queue holds, in bytes: the lines of a disk that has not
  // answered for hours still fit.
  static constexpr size_t MaxQueued = 256 * 1024;

  // LogPath is the log; AsidePath the file beside it for the lines it
  // refused at the end of a run.
  TLogWriter(std::wstring LogPath, std::wstring AsidePath);
  TLogWriter(const TLogWriter&) = delete;
  TLogWriter& operator=(const TLogWriter&) = delete;
  // Does not wait: a write still out goes on, or ends with the process.
  ~TLogWriter();

  // At the start, before any line: the lines kept beside the log by an
  // earlier run (AsidePath's text). They go first, and the file goes once
  // they are in the log.
  void JoinAside(std::string Lines);
  // Whole lines, each ending in CR LF, to append after those handed over
  // before. False when the queue has no room for them: the caller keeps
  // them and hands them over again with the next line. Returns at once.
  bool Add(std::string_view Lines);
  // The end of the run: Last (lines the queue had no room for) joins the
  // queue, everything is tried once more, and what the log still refuses is
  // kept beside it (or, where MayRewrite and another program holds the log
  // without letting it be written, put in a rewritten log). Waits at most
  // TimeoutMs.
  TLogEnd Finish(std::string_view Last, DWORD TimeoutMs, bool MayRewrite);

 private:
  struct TShared;
  static DWORD WINAPI ThreadProc(LPVOID Parameter);
  static void Work(TShared& S);
  // Lets go of one reference; the last one frees the state.
  static void Release(TShared* S);
  bool Started();

  TShared* FShared;  // counted: one reference of this object's, one of the thread's
  bool FThreadTried = false;
  bool FThreadRuns = false;
};
