// Character sets: the one the locale names, and texts converted between two of them through
// iconv. POSIX systems only; Windows names files in its own wide characters.
#ifndef TEXT_ENCODING_H_
#define TEXT_ENCODING_H_

#ifndef _WIN32
#include <iconv.h>
#include <string>

// The character set of the locale that the environment names, read without changing the
// program's own locale; the C locale stands for UTF-8, which file systems use today.
std::string localeCodeset();

// Converts texts from one character set to another; one object serves any number of texts.
class TextConverter {
public:
    // The character sets by their iconv names.
    TextConverter(const char* to, const char* from);
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    // Fills `spelling` with `text` spelled in the target set. False when `text` is no text in
    // the source set, or when iconv knows no conversion between the two.
    bool convert(const std::string& text, std::string* spelling);

private:
    bool usable() const { return converter != reinterpret_cast<iconv_t>(-1); }

    const iconv_t converter;
};
#endif

#endif  // TEXT_ENCODING_H_
