#include "tests/gui/harness.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace gui_test {

namespace {

long long nowMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// The driver's escaping: backslash, tab, line feed and carriage return.
std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

Fields splitEscaped(const std::string& line) {
    Fields fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote <= 0) return false;
        done += wrote;
    }
    return true;
}

}  // namespace

const std::string& Reply::at(size_t i) const {
    static const std::string none;
    return i < fields.size() ? fields[i] : none;
}

Driver::~Driver() {
    if (pid <= 0) return;
    call({"quit"}, 5000);
    close(toDriver);
    close(fromDriver);
    for (int i = 0; i < 100 && waitpid(pid, nullptr, WNOHANG) == 0; ++i) usleep(50000);
    if (waitpid(pid, nullptr, WNOHANG) == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool Driver::start(const std::string& driverExe) {
    int in[2], out[2];
    if (pipe(in) != 0) return false;
    if (pipe(out) != 0) return false;
    pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        execlp("wine", "wine", driverExe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toDriver = in[1];
    fromDriver = out[0];
    signal(SIGPIPE, SIG_IGN);
    return true;
}

Reply Driver::call(const Fields& command, int timeoutMs) {
    Reply reply;
    std::string line;
    for (size_t i = 0; i < command.size(); ++i) line += (i ? "\t" : "") + escape(command[i]);
    if (!writeAll(toDriver, line + "\n")) {
        reply.error = "the driver is gone";
        return reply;
    }
    long long deadline = nowMs() + timeoutMs;
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string answer = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (!answer.empty() && answer.back() == '\r') answer.pop_back();
            if (answer.compare(0, 1, "=") == 0) {
                reply.rows.push_back(splitEscaped(answer.substr(1)));
            } else if (answer == "OK" || answer.compare(0, 3, "OK\t") == 0) {
                reply.ok = true;
                if (answer.size() > 3) reply.fields = splitEscaped(answer.substr(3));
                return reply;
            } else if (answer.compare(0, 3, "ERR") == 0) {
                reply.error = answer.size() > 4 ? splitEscaped(answer.substr(4))[0] : "";
                return reply;
            }
            // Anything else is noise from Wine on the same stream; skip it.
        }
        long long left = deadline - nowMs();
        if (left <= 0) {
            reply.error = "no answer from the driver to \"" + command[0] + "\"";
            return reply;
        }
        pollfd wait = {fromDriver, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
        char chunk[4096];
        ssize_t got = read(fromDriver, chunk, sizeof chunk);
        if (got <= 0) {
            reply.error = "the driver is gone";
            return reply;
        }
        pending.append(chunk, got);
    }
}

int runProgram(const Fields& argv, const std::string& folder, const std::string& log,
               int timeoutSeconds) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
        int sink =
            open(log.empty() ? "/dev/null" : log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int nothing = open("/dev/null", O_RDONLY);
        if (sink >= 0) {
            dup2(sink, 1);
            dup2(sink, 2);
        }
        if (nothing >= 0) dup2(nothing, 0);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    long long deadline = nowMs() + timeoutSeconds * 1000LL;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (nowMs() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string windowsPath(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool writeText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    return static_cast<bool>(out);
}

bool copyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    return static_cast<bool>(out);
}

bool exists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

}  // namespace gui_test
