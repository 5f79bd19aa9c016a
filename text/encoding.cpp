#include "text/encoding.h"

#ifndef _WIN32
#include <langinfo.h>
#include <locale.h>
#include <vector>

std::string localeCodeset() {
    std::string codeset;
    const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (locale) {
        const char* name = nl_langinfo_l(CODESET, locale);
        if (name) codeset = name;
        freelocale(locale);
    }
    if (codeset.empty() || codeset == "ANSI_X3.4-1968" || codeset == "ASCII" ||
        codeset == "US-ASCII")
        return "UTF-8";
    return codeset;
}

TextConverter::TextConverter(const char* to, const char* from) : converter(iconv_open(to, from)) {}

TextConverter::~TextConverter() {
    if (usable()) iconv_close(converter);
}

bool TextConverter::convert(const std::string& text, std::string* spelling) {
    if (!usable()) return false;
    // Back to the initial state, whatever the previous text left.
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::vector<char> input(text.begin(), text.end());
    // A byte becomes at most 3 bytes of UTF-8; other targets need less.
    std::vector<char> output(text.size() * 4 + 4);
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
        return false;
    spelling->assign(output.data(), out);
    return true;
}
#endif
