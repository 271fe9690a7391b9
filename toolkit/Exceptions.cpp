#include "toolkit/Exceptions.h"

std::string ExceptionMessage(std::exception_ptr Error) {
  try {
    std::rethrow_exception(Error);
  } catch (const std::exception& E) {
    return E.what();
  } catch (...) {
    return "Unknown error";
  }
}
