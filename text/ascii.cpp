#include "text/ascii.h"

#include <cstring>

std::string lowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool endsWithIgnoringCase(const std::string& text, const char* ending) {
    const size_t length = std::strlen(ending);
    return text.size() >= length &&
           lowerAscii(text.substr(text.size() - length)).compare(ending) == 0;
}
