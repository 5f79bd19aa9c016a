#include "text/format.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string text_format::print(const char* pattern, ...) {
    va_list args;
    va_start(args, pattern);
    va_list measured;
    va_copy(measured, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, measured);
    va_end(measured);
    std::vector<char> text(length < 0 ? 1 : static_cast<size_t>(length) + 1);
    const bool printed =
        length >= 0 && std::vsnprintf(text.data(), text.size(), pattern, args) == length;
    va_end(args);
    return printed ? std::string(text.data(), static_cast<size_t>(length)) : std::string();
}
