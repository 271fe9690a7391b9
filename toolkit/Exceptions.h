#pragma once
// The error kinds the program raises. Each carries the text that the error box
// shows (with a full stop added when it is shown).

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string Message) : FMessage(std::move(Message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

// A text that is no integer text.
class EConvertError : public Exception {
  using Exception::Exception;
};

// A file that cannot be opened for reading.
class EFOpenError : public Exception {
  using Exception::Exception;
};

// A file that cannot be created or replaced.
class EFCreateError : public Exception {
  using Exception::Exception;
};

// A settings value that cannot be written.
class EIniFileException : public Exception {
  using Exception::Exception;
};

// The text shown for any error that reaches the event loop.
std::string ExceptionMessage(std::exception_ptr Error);
