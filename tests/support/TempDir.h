#pragma once
// A fresh folder for one test, removed with everything in it afterwards, and
// a stand-in executable path inside it (so the program's files land there).

#include <windows.h>

#include <string>
#include <vector>

namespace vtest {

// Paths in the test support are UTF-8 (ASCII ones read the same in ANSI), so
// a test can name a folder in any script; the file functions get UTF-16.
std::wstring Utf16(const std::string& Utf8);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, with a trailing backslash.
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& Name) const { return FPath + Name; }

  void Write(const std::string& Name, const std::string& Content) const;
  std::string Read(const std::string& Name) const;
  bool Exists(const std::string& Name) const;
  // The names of the files and folders in this one, sorted.
  std::vector<std::string> Names() const;
  // Makes a folder inside this one (Name ends with a backslash); its path.
  std::string MakeFolder(const std::string& Name) const;

  // Makes folders inside folders (inside this one) until the innermost one's
  // path is Length characters long; its name inside this one, with its last
  // backslash.
  std::string MakeDeepFolder(size_t Length) const;

  // Makes the platform seam report "<folder>\<Inside>Vintrel.exe" as the
  // executable.
  void PretendExecutableHere(const std::string& Inside = std::string()) const;

  // The same for a file anywhere.
  static void WriteAt(const std::string& Path, const std::string& Content);
  static std::string ReadAt(const std::string& Path);
  // Removes a folder with everything in it.
  static void RemoveAll(const std::string& Folder);
  // A text's lines, split at CR LF.
  static std::vector<std::string> Lines(const std::string& Text);

 private:
  std::string FPath;
};

// A file held open the way another program (an editor, a backup) can hold
// it: sharing nothing, so no one else opens it until it is released.
class HeldFile {
 public:
  explicit HeldFile(const std::string& Path);
  ~HeldFile() { Release(); }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

  bool Held() const { return FHandle != INVALID_HANDLE_VALUE; }
  void Release();

 private:
  HANDLE FHandle;
};

}  // namespace vtest
