// SETUP.EXE's own versions of the C++ library's error exits, linked in place
// of the library's. The program catches only SetupError, so an exception the
// library throws ends it either way; ending at once keeps out the exception
// classes, their second string implementation and the demangler, which
// together were half the program.
#include <cstdlib>

#if defined(__GLIBCXX__)  // defined by the library's headers

namespace __gnu_cxx {
// The default handler prints the exception's demangled type to a console that
// a GUI program does not have.
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// Every one of the library's throw helpers that live together in one of its
// objects: defining only some would bring that object in beside them.
namespace std {
[[noreturn]] void __throw_bad_exception() { std::abort(); }
[[noreturn]] void __throw_bad_alloc() { std::abort(); }
[[noreturn]] void __throw_bad_array_new_length() { std::abort(); }
[[noreturn]] void __throw_bad_cast() { std::abort(); }
[[noreturn]] void __throw_bad_typeid() { std::abort(); }
[[noreturn]] void __throw_logic_error(const char*) { std::abort(); }
[[noreturn]] void __throw_domain_error(const char*) { std::abort(); }
[[noreturn]] void __throw_invalid_argument(const char*) { std::abort(); }
[[noreturn]] void __throw_length_error(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range(const char*) { std::abort(); }
[[noreturn]] void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
[[noreturn]] void __throw_runtime_error(const char*) { std::abort(); }
[[noreturn]] void __throw_range_error(const char*) { std::abort(); }
[[noreturn]] void __throw_overflow_error(const char*) { std::abort(); }
[[noreturn]] void __throw_underflow_error(const char*) { std::abort(); }
}  // namespace std

#endif
