#pragma once
// The log file "Vintrel.log": one line per change of state, lines ending in
// CR LF. A run reads only its newest lines, from the end of the file, and
// appends each line it keeps as it is logged, whole, written through to the
// disk (monitor/LogWriter, on a thread of its own): the start, the run's
// memory and the end cost the same however long the log has grown, and a
// crash, a kill or a power cut loses no kept line. Where lines cannot be
// appended because another program holds the log, the end of the run can
// put the log, byte for byte, and the lines after it in a new file that
// takes its place. And the one way both files tell "not there" from "there
// but unreadable". Paths are UTF-16, so any folder name serves; the files'
// text stays 8-bit.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

// The size of the pieces the log file is read in.
constexpr std::size_t LogChunkSize = 65536;
// The most of the log's end that the view is given, whatever its lines: a
// power loss can leave a long run of zero bytes without a line end.
constexpr std::size_t MaxTailBytes = 65536;

// Appends a piece of log file text to Log: CR, LF and CR LF each end a line
// and become CR LF (AfterCR carries a CR at the end of one piece over to the
// next), and a zero byte becomes a blank.
void AppendLogText(std::string& Log, std::string_view Piece, bool& AfterCR);
// The newest Lines lines of the log file with their line ends, made as
// AppendLogText makes them; a last line without its line end is a line. The
// file is read backwards from its end in pieces of ChunkSize bytes, only as
// far as the line end before those lines, and no further than MaxTailBytes
// from the end (the first line may then be the end of a longer one). A
// missing file is an empty log. Raises EFOpenError "Cannot open file <path>".
std::string ReadLogTail(const std::wstring& Path, std::size_t Lines, std::size_t ChunkSize = LogChunkSize);
// Whether a file is there but cannot be opened for reading as the log and
// the profile functions open it: held by another program that shares no
// reading, a folder, or barred to this user. A file or folder that is not
// there is not unreadable: there is nothing to read.
bool UnreadableFile(const std::wstring& Path);
// The lines kept beside the log by a run whose log refused them, as the file
// holds them, ending with a line end; nothing when there is no such file or
// it cannot be read (it then waits for the next start).
std::string ReadAsideLines(const std::wstring& Path);
// Replaces the log file by a complete new one: the log file's bytes exactly
// as they are now, a CR LF when its last line has no line end, then Added
// (toolkit/Files: nothing changes on disk unless the whole new file takes the
// old one's place, and nothing is left behind). A missing file is an empty
// log. False, with Error saying why, when the log could not be read or
// replaced.
bool RewriteLogFile(const std::wstring& Path, std::string_view Added, DWORD& Error,
                    std::size_t ChunkSize = LogChunkSize);
