// Runs the built keymix program as a process for the end-to-end tests, inside a temporary
// folder, with what it prints on each stream.
#ifndef TESTS_E2E_RUN_KEYMIX_H_
#define TESTS_E2E_RUN_KEYMIX_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_util.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace e2e {

using test_util::Bytes;
using test_util::TempDir;

#ifdef _WIN32
constexpr int FAILED = -1;
#else
constexpr int FAILED = 255;  // -1 as the system reports an exit status
#endif

struct Result {
    int status = -1000;
    std::string out;
    std::string err;
};

inline std::string quote(const std::string& text) {
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

inline std::string programPath() {
    std::string path = KEYMIX_PROGRAM;
#ifdef _WIN32
    // Built on Linux and run under Wine: the Linux root is drive Z.
    if (!path.empty() && path[0] == '/') {
        path = "Z:" + path;
        for (char& c : path)
            if (c == '/') c = '\\';
    }
#endif
    return path;
}

inline std::string readText(const std::string& path) {
    Bytes bytes = test_util::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// A captured stream. Windows ends its printed lines with CR LF; the tests
// compare the lines themselves.
inline std::string streamText(const std::string& path) {
    std::string text = readText(path);
#ifdef _WIN32
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    return lines;
#else
    return text;
#endif
}

// Runs keymix with `args` in `dir`; standard output and standard error go to
// files beside the run (named so that no chart of a test meets them).
inline Result runKeymix(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& prefix = "") {
    std::string outPath = dir.file("stdout.txt");
    std::string errPath = dir.file("stderr.txt");
    std::string command = prefix + quote(programPath());
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " >" + quote(outPath) + " 2>" + quote(errPath);
#ifdef _WIN32
    command = "\"cd /d " + quote(dir.path()) + " && " + command + "\"";
#else
    command = "cd " + quote(dir.path()) + " && " + command;
#endif
    Result result;
    int status = std::system(command.c_str());
#ifdef _WIN32
    result.status = status;
#else
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1000 - status;
#endif
    result.out = streamText(outPath);
    result.err = streamText(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

}  // namespace e2e

#endif  // TESTS_E2E_RUN_KEYMIX_H_
