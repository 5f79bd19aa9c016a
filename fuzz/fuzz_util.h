// Helpers shared by the fuzz targets: the loaders take paths, so each input is
// written to a file in a private temporary folder first.
#ifndef FUZZ_FUZZ_UTIL_H_
#define FUZZ_FUZZ_UTIL_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz_util {

// A folder of this process, made once and removed with its content when the
// process exits (the fuzzer ends with exit()).
inline const std::string& workFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/keymix-fuzz-XXXXXX";
        if (!mkdtemp(&pattern[0])) std::abort();
        return pattern;
    }();
    static const bool cleaned = [] {
        return std::atexit([] {
                   const std::string command = "rm -rf '" + workFolder() + "'";
                   if (std::system(command.c_str()) != 0) {
                       // A leftover temporary folder is harmless.
                   }
               }) == 0;
    }();
    (void)cleaned;
    return folder;
}

inline std::string pathIn(const char* name) {
    return workFolder() + "/" + name;
}

// Writes the bytes to `path`, replacing what was there.
inline void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
    std::fclose(out);
}

// Trace lines and parser notices are not what is checked: send them nowhere.
inline void silenceStdout() {
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
}

// A broken promise of the code under test: the fuzzer reports it as a crash.
inline void check(bool condition) {
    if (!condition) __builtin_trap();
}

}  // namespace fuzz_util

#endif  // FUZZ_FUZZ_UTIL_H_
