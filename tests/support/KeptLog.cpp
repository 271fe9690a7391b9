#include "tests/support/KeptLog.h"

namespace vtest {

std::string KeptLogOfLines(std::size_t Count) {
  std::string Log;
  Log.reserve(Count * 64);
  for (std::size_t I = 0; I < Count; ++I)
    Log += std::string(I % 2 ? "Disconnected" : "Connected to http://127.0.0.1:8080/status") +
           " - 12/8/2026 9:" + std::to_string(10 + I % 50) + ":00 AM #" + std::to_string(I) + "\r\n";
  return Log;
}

std::string LineNumber(const std::string& Line) {
  std::string::size_type Mark = Line.rfind('#');
  return Mark == std::string::npos ? std::string() : Line.substr(Mark + 1);
}

}  // namespace vtest
