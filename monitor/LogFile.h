#pragma once
// The log file "Vintrel.log": one line per change of state, lines ending in
// CR LF. A run reads only its newest lines, from the end of the file, and
// appends each line it keeps as it is logged, written through to the disk:
// the start, the run's memory and the end cost the same however long the log
// has grown, and a crash, a kill or a power cut loses no kept line. Where a
// line cannot be appended, the end of the run copies the file on disk into a
// new one with the lines after it, which then takes the old one's place. And
// the one way both files tell "not there" from "there but unreadable". Paths
// are UTF-16, so any folder name serves; the files' text stays 8-bit.

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
// Appends Lines (whole lines, each ending in CR LF) to the log file and
// writes them through to the disk, after a CR LF when the file's last line
// has no line end; a missing file is made. Shares reading, writing and
// deletion, so a program that follows the log, or holds it open as a sync or
// backup tool does, neither stops it nor is stopped. Returns how many bytes
// of Lines are in the file now: all of them, or none when the file could not
// be opened or written. Raises nothing.
std::size_t AppendLogLines(const std::wstring& Path, std::string_view Lines);
// Replaces the log file by a complete new one: the log file as it is now,
// made as AppendLogText makes it in pieces of ChunkSize bytes and its last
// line ended, then Added. A missing file is an empty log. The new file takes
// the old one's place with ReplaceFileW, so the log keeps its attributes and
// permissions. A log that cannot be read raises EFOpenError "Cannot open file
// <path>", one that cannot be replaced EFCreateError "Cannot create file
// <path>"; either way nothing on disk is lost.
void WriteLogFile(const std::wstring& Path, std::string_view Added, std::size_t ChunkSize = LogChunkSize);
