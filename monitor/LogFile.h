#pragma once
// The log file "Vintrel.log": one line per change of state, lines ending in
// CR LF, read whole at start and replaced whole at the end of a run; and the
// one way both files tell "not there" from "there but unreadable". Paths are
// UTF-16, so any folder name serves; the files' text stays 8-bit.

#include <initializer_list>
#include <string>
#include <string_view>

// Appends a piece of log file text to Log: CR, LF and CR LF each end a line
// and become CR LF (AfterCR carries a CR at the end of one piece over to the
// next), and a zero byte becomes a blank.
void AppendLogText(std::string& Log, std::string_view Piece, bool& AfterCR);
// The whole log file made as AppendLogText makes it; a missing file is an
// empty log. Raises EFOpenError "Cannot open file <path>".
std::string ReadLogFile(const std::wstring& Path);
// Whether a file is there but cannot be opened for reading as ReadLogFile and
// the profile functions open it: held by another program that shares no
// reading, a folder, or barred to this user. A file or folder that is not
// there is not unreadable: there is nothing to read.
bool UnreadableFile(const std::wstring& Path);
// Cuts the last Lines lines (with their CR LF) off a CR LF text and returns
// them; Log keeps the lines before them.
std::string SplitLogTail(std::string& Log, size_t Lines);
// Replaces the log file by a complete new one made of the pieces, or leaves
// it as it was and raises EFCreateError "Cannot create file <path>".
void WriteLogFile(const std::wstring& Path, std::initializer_list<std::string_view> Pieces);
