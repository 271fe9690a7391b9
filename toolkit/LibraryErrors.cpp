// The errors the C++ library's containers and strings raise for a misuse (an
// index past the end, a length past the maximum), made by the program itself.
//
// GCC's library raises them through a handful of functions that it keeps in
// one object file, and each of those builds a std::logic_error or a
// std::runtime_error from a C string; these classes keep their text in the
// library's old reference-counted string, so the first misuse check in the
// program pulled in that whole second string implementation, the new one
// beside it and std::random_device, about 55 KB of a 350 KB program that
// never uses any of it on purpose. Defined here, those functions are taken
// from the program, and that object file is never linked.
//
// What a caller sees is unchanged where it matters: the error is a
// std::exception whose what() reads as the library's own text, so the event
// loop's error box says the same; allocation failures stay std::bad_alloc
// and the bad_cast family keeps its own types. Only a catch for the exact
// type (std::out_of_range and its kin) would no longer match; the program
// has none.
//
// Every function the library's object file defines is defined here, so that
// nothing can link that file beside this one. Other libraries (MSVC's) raise
// their errors otherwise; there this file is empty.

#include <cstddef>  // defines __GLIBCXX__ with GCC's library

#if defined(__GLIBCXX__)

#include <cstdarg>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

// A library error's text, held in the exception itself: raising it never
// allocates, so a misuse found while memory is short still reads right.
class TLibraryError : public std::exception {
 public:
  explicit TLibraryError(const char* Text) { Append(Text); }
  const char* what() const noexcept override { return FText; }

  void Append(const char* Text) {
    while (Text && *Text && FLength + 1 < sizeof(FText)) FText[FLength++] = *Text++;
    FText[FLength] = '\0';
  }
  void AppendNumber(std::size_t Value) {
    char Digits[24];
    std::size_t Count = 0;
    do {
      Digits[Count++] = static_cast<char>('0' + Value % 10);
      Value /= 10;
    } while (Value);
    char Text[sizeof(Digits) + 1];
    for (std::size_t I = 0; I < Count; ++I) Text[I] = Digits[Count - 1 - I];
    Text[Count] = '\0';
    Append(Text);
  }

 private:
  char FText[256] = {};
  std::size_t FLength = 0;
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char* Text) { throw TLibraryError(Text); }
void __throw_domain_error(const char* Text) { throw TLibraryError(Text); }
void __throw_invalid_argument(const char* Text) { throw TLibraryError(Text); }
void __throw_length_error(const char* Text) { throw TLibraryError(Text); }
void __throw_out_of_range(const char* Text) { throw TLibraryError(Text); }
void __throw_runtime_error(const char* Text) { throw TLibraryError(Text); }
void __throw_range_error(const char* Text) { throw TLibraryError(Text); }
void __throw_overflow_error(const char* Text) { throw TLibraryError(Text); }
void __throw_underflow_error(const char* Text) { throw TLibraryError(Text); }

// The library's formats hold only %zu, %s and %% ("basic_string::substr:
// __pos (which is %zu) > this->size() (which is %zu)").
void __throw_out_of_range_fmt(const char* Format, ...) {
  TLibraryError Error("");
  va_list Arguments;
  va_start(Arguments, Format);
  char One[2] = {};
  for (const char* P = Format; P && *P; ++P) {
    if (P[0] == '%' && P[1] == 'z' && P[2] == 'u') {
      Error.AppendNumber(va_arg(Arguments, std::size_t));
      P += 2;
    } else if (P[0] == '%' && P[1] == 's') {
      Error.Append(va_arg(Arguments, const char*));
      ++P;
    } else {
      if (P[0] == '%' && P[1] == '%') ++P;
      One[0] = *P;
      Error.Append(One);
    }
  }
  va_end(Arguments);
  throw Error;
}

}  // namespace std

#endif
