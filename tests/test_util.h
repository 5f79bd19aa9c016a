// Helpers shared by the tests: a temporary folder that removes itself, file
// reading and writing, byte-level WAV images built from their fields, samples
// of a sound buffer, sox's word on a file and the console program run in this
// process.
#ifndef TESTS_TEST_UTIL_H_
#define TESTS_TEST_UTIL_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <vector>

#include "console/keymix.h"

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace test_util {

using Bytes = std::vector<uint8_t>;

inline void removeTree(const std::string& path);

// A fresh folder under the system's temporary folder, removed with its content
// when the object goes away.
class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        // Named after the process, so that tests running side by side never try the same names.
        static int made = 0;
        const char* tmp = std::getenv("TEMP");
        const std::string base =
            std::string(tmp ? tmp : ".") + "\\keymix" + std::to_string(_getpid()) + "_";
        for (int attempt = 0; attempt < 100 && root.empty(); ++attempt) {
            const std::string candidate = base + std::to_string(made++);
            if (_mkdir(candidate.c_str()) == 0) root = candidate;
        }
#else
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/keymixXXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data())) root = buffer.data();
#endif
    }
    ~TempDir() { removeTree(root); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return root; }
    std::string file(const std::string& name) const { return root + separator() + name; }

    // Writes `content` to `name` inside the folder and returns its full path.
    std::string write(const std::string& name, const std::string& content) const {
        return write(name, Bytes(content.begin(), content.end()));
    }
    std::string write(const std::string& name, const Bytes& content) const {
        std::string full = file(name);
        std::FILE* out = std::fopen(full.c_str(), "wb");
        if (out) {
            if (!content.empty()) std::fwrite(content.data(), 1, content.size(), out);
            std::fclose(out);
        }
        return full;
    }
    std::string mkdir(const std::string& name) const {
        std::string full = file(name);
#ifdef _WIN32
        _mkdir(full.c_str());
#else
        ::mkdir(full.c_str(), 0755);
#endif
        return full;
    }

    static const char* separator() {
#ifdef _WIN32
        return "\\";
#else
        return "/";
#endif
    }

private:
    std::string root;
};

inline bool fileExists(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return false;
    std::fclose(in);
    return true;
}

inline Bytes readFile(const std::string& path) {
    Bytes content;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return content;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0)
        content.insert(content.end(), chunk, chunk + got);
    std::fclose(in);
    return content;
}

inline void removeTree(const std::string& path) {
    if (path.empty()) return;
    std::error_code ignored;  // a leftover temporary folder is harmless
    std::filesystem::remove_all(path, ignored);
}

inline void putLe16(Bytes& out, uint32_t value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}
inline void putLe32(Bytes& out, uint32_t value) {
    putLe16(out, value & 0xFFFF);
    putLe16(out, value >> 16);
}
inline void putTag(Bytes& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// Appends one chunk: tag, size (given, or the payload's), payload and the pad
// byte that keeps the next chunk at an even offset.
inline void putChunk(Bytes& out, const char* tag, const Bytes& payload, bool pad = true) {
    putTag(out, tag);
    putLe32(out, static_cast<uint32_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    if (pad && payload.size() % 2 == 1) out.push_back(0);
}

inline Bytes fmtPayload(int channels, int rate, int bits, int formatTag = 1) {
    Bytes fmt;
    putLe16(fmt, formatTag);
    putLe16(fmt, channels);
    putLe32(fmt, rate);
    putLe32(fmt, rate * channels * bits / 8);
    putLe16(fmt, channels * bits / 8);
    putLe16(fmt, bits);
    return fmt;
}

// A RIFF/WAVE image of the given chunks; the RIFF size is the true one.
inline Bytes riffWave(const Bytes& chunks) {
    Bytes out;
    putTag(out, "RIFF");
    putLe32(out, static_cast<uint32_t>(chunks.size() + 4));
    putTag(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

// A plain PCM WAV: fmt chunk then data chunk holding `samples` bytes.
inline Bytes pcmWav(int channels, int rate, int bits, const Bytes& samples) {
    Bytes chunks;
    putChunk(chunks, "fmt ", fmtPayload(channels, rate, bits));
    putChunk(chunks, "data", samples);
    return riffWave(chunks);
}

// 16-bit samples as little-endian bytes.
inline Bytes samples16(const std::vector<int16_t>& values) {
    Bytes out;
    for (int16_t v : values) putLe16(out, static_cast<uint16_t>(v));
    return out;
}

// A 16-bit stereo 44100 Hz WAV of `frames` frames, every sample `value`.
inline Bytes constantWav(int frames, int16_t value) {
    return pcmWav(2, 44100, 16, samples16(std::vector<int16_t>(frames * 2, value)));
}

// The 16-bit samples held by a sound buffer (anything with `data` and `data_size` bytes).
template <typename Sound>
std::vector<int16_t> samplesOf(const Sound& sound) {
    std::vector<int16_t> out;
    for (int i = 0; i + 1 < sound.data_size; i += 2)
        out.push_back(static_cast<int16_t>(sound.data[i] | sound.data[i + 1] << 8));
    return out;
}

// The left and right 16-bit samples of frame `frame` of a sound buffer.
template <typename Sound>
int16_t leftAt(const Sound& sound, int frame) {
    const uint8_t* p = sound.data.get() + frame * 4;
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}
template <typename Sound>
int16_t rightAt(const Sound& sound, int frame) {
    const uint8_t* p = sound.data.get() + frame * 4 + 2;
    return static_cast<int16_t>(p[0] | (p[1] << 8));
}

inline bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// What `sox --i -<flag>` says of the file, its first line; empty when sox is missing or cannot
// read it.
inline std::string soxInfo(const std::string& path, const char* flag) {
    const std::string command = std::string("sox --i -") + flag + " '" + path + "' 2>/dev/null";
#ifdef _WIN32
    std::FILE* pipe = _popen(command.c_str(), "r");
#else
    std::FILE* pipe = popen(command.c_str(), "r");
#endif
    if (!pipe) return "";
    char line[128] = "";
    if (!std::fgets(line, sizeof line, pipe)) line[0] = '\0';
#ifdef _WIN32
    _pclose(pipe);
#else
    pclose(pipe);
#endif
    return std::string(line, std::strcspn(line, "\r\n"));
}

// What the console program returned and printed on each stream.
struct RunResult {
    int status;
    std::string out;
    std::string err;
};

// Runs the console program in this process on `args` (its name is added before them).
inline RunResult runInProcess(std::vector<std::string> args) {
    args.insert(args.begin(), "keymix");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status = runKeymix(static_cast<int>(args.size()), argv.data());
    std::string out = testing::internal::GetCapturedStdout();
    return {status, out, testing::internal::GetCapturedStderr()};
}

#ifndef _WIN32
// Points TMPDIR at another folder until the object goes away, then gives back the earlier value.
class TmpDirOverride {
public:
    TmpDirOverride() = default;
    ~TmpDirOverride() {
        if (!set) return;
        if (had) {
            setenv("TMPDIR", previous.c_str(), 1);
        } else {
            unsetenv("TMPDIR");
        }
    }
    TmpDirOverride(const TmpDirOverride&) = delete;
    TmpDirOverride& operator=(const TmpDirOverride&) = delete;

    void point(const std::string& folder) {
        if (!set) {
            const char* value = std::getenv("TMPDIR");
            had = value != nullptr;
            if (had) previous = value;
            set = true;
        }
        setenv("TMPDIR", folder.c_str(), 1);
    }

private:
    bool set = false;
    bool had = false;
    std::string previous;
};
#endif

}  // namespace test_util

#endif  // TESTS_TEST_UTIL_H_
