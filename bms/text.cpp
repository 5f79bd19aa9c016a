#include "bms/text.h"

#include <cstring>

#include "bms/word.h"

void toUpperText(char* text) {
    if (!text) return;
    for (; *text; ++text) *text = static_cast<char>(BmsToUpper(static_cast<unsigned char>(*text)));
}

std::unique_ptr<char[]> copyText(const char* text, bool upper) {
    if (!text) return nullptr;
    size_t length = std::strlen(text);
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), text, length + 1);
    if (upper) toUpperText(copy.get());
    return copy;
}
