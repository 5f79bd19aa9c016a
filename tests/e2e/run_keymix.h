// Runs the built keymix program as a process for the end-to-end tests, inside a temporary
// folder, with what it prints on each stream.
#ifndef TESTS_E2E_RUN_KEYMIX_H_
#define TESTS_E2E_RUN_KEYMIX_H_

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_util.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
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

#ifndef _WIN32
// One word for the shell.
inline std::string quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
#endif

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

#ifdef _WIN32
// One argument as the C runtime splits a command line: in quotes, with the backslashes before a
// quote doubled and the quote escaped.
inline std::string windowsArgument(const std::string& arg) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
        } else {
            quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
        }
        quoted += c;
    }
    return quoted.append(backslashes, '\\') + "\"";
}

// Starts the program itself, without a command interpreter between, its streams in the two
// files. A start that Wine refuses (it happens on a loaded machine) is tried again; the
// program's own status is never. -1000 when it never started.
inline int runProgram(const std::string& directory, const std::vector<std::string>& args,
                      const std::string& outPath, const std::string& errPath) {
    std::string line = windowsArgument(programPath());
    for (const std::string& arg : args) line += " " + windowsArgument(arg);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    for (int attempt = 0; attempt < 3; ++attempt) {
        HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        std::vector<char> command(line.begin(), line.end());
        command.push_back('\0');
        const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                             CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, directory.c_str(), &startup, &process);
        if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
        if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
        if (!started) {
            std::fprintf(stderr, "keymix did not start (error %lu)\n", GetLastError());
            Sleep(500);
            continue;
        }
        DWORD status = 0;
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return static_cast<int>(status);
    }
    return -1000;
}
#endif

// Runs keymix with `args` in `dir`; standard output and standard error go to
// files beside the run (named so that no chart of a test meets them). `prefix`
// goes before the program in the shell's command (not on Windows).
inline Result runKeymix(const TempDir& dir, const std::vector<std::string>& args,
                        const std::string& prefix = "") {
    std::string outPath = dir.file("stdout.txt");
    std::string errPath = dir.file("stderr.txt");
    Result result;
#ifdef _WIN32
    (void)prefix;
    result.status = runProgram(dir.path(), args, outPath, errPath);
#else
    std::string command = prefix + quote(programPath());
    for (const std::string& arg : args) command += " " + quote(arg);
    command += " >" + quote(outPath) + " 2>" + quote(errPath);
    command = "cd " + quote(dir.path()) + " && " + command;
    int status = std::system(command.c_str());
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
