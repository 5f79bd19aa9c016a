#include "text/make_path.h"

#include <cstring>

#ifdef _WIN32
#include <mbctype.h>
#else
#include <langinfo.h>
#include <strings.h>
#endif

namespace {

#ifdef _WIN32
// The runtime knows the lead bytes of the ANSI code page it started with.
class LeadBytes {
public:
    bool test(unsigned char byte) const { return _ismbblead(byte) != 0; }
};
#else
// Shift-JIS lead bytes count only when the locale's character set is Shift-JIS;
// UTF-8 and single-byte sets never hide a separator inside a character.
class LeadBytes {
public:
    LeadBytes() {
        const char* codeset = nl_langinfo(CODESET);
        static const char* const names[] = {"SHIFT_JIS", "SHIFT-JIS",   "SJIS",
                                            "CP932",     "WINDOWS-31J", "MS_KANJI"};
        if (!codeset) return;
        for (const char* name : names) {
            if (strcasecmp(codeset, name) == 0) shiftJis = true;
        }
    }
    bool test(unsigned char byte) const {
        return shiftJis && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
    }

private:
    bool shiftJis = false;
};
#endif

}  // namespace

void makePath(char* path, bool keepDrive, bool keepDirectory, bool keepName, bool keepExtension) {
    if (!path) return;
    const LeadBytes lead;
    const size_t length = std::strlen(path);

    size_t driveEnd = 0;
    if (length >= 2 && path[1] == ':' && !lead.test(static_cast<unsigned char>(path[0])))
        driveEnd = 2;

    // One pass over whole characters finds the last separator and, after it,
    // the last dot; a lead byte takes its trail byte along unless the text ends.
    size_t nameStart = driveEnd;
    size_t lastDot = length;
    for (size_t i = driveEnd; i < length;) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (lead.test(c) && i + 1 < length) {
            i += 2;
            continue;
        }
        if (c == '\\' || c == '/') {
            nameStart = i + 1;
            lastDot = length;
        } else if (c == '.') {
            lastDot = i;
        }
        ++i;
    }

    const char* last = path + nameStart;
    if (std::strcmp(last, ".") == 0 || std::strcmp(last, "..") == 0) {
        nameStart = length;
        lastDot = length;
    }

    // The four parts lie in order and the kept ones move only toward the
    // front, so they can be copied down inside the same buffer.
    const size_t bounds[5] = {0, driveEnd, nameStart, lastDot, length};
    const bool keep[4] = {keepDrive, keepDirectory, keepName, keepExtension};
    size_t out = 0;
    for (int part = 0; part < 4; ++part) {
        if (!keep[part]) continue;
        const size_t size = bounds[part + 1] - bounds[part];
        std::memmove(path + out, path + bounds[part], size);
        out += size;
    }
    path[out] = '\0';
}
