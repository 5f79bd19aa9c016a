// printf into a std::string.
#ifndef TEXT_FORMAT_H_
#define TEXT_FORMAT_H_

#include <string>

namespace text_format {

// A std::string argument goes to printf as its characters; others as they are.
inline const char* argument(const std::string& text) {
    return text.c_str();
}
template <typename T>
T argument(T value) {
    return value;
}

// What std::printf prints for `pattern` and the arguments; empty when the pattern cannot be
// formatted.
std::string print(const char* pattern, ...);

}  // namespace text_format

// The text that std::printf prints for `pattern` and `args`, as long as it needs to be;
// std::string arguments stand for their characters. Empty when the pattern cannot be
// formatted.
template <typename... Args>
std::string format(const char* pattern, const Args&... args) {
    return text_format::print(pattern, text_format::argument(args)...);
}

#endif  // TEXT_FORMAT_H_
