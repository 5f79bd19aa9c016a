// The Linux side of the window tests: starts the Windows driver under Wine and
// talks to it, runs other programs with a time limit, and maps Linux paths to
// the Z: drive through which Wine sees them.
#ifndef TESTS_GUI_HARNESS_H_
#define TESTS_GUI_HARNESS_H_

#include <string>
#include <sys/types.h>
#include <vector>

namespace gui_test {

using Fields = std::vector<std::string>;

// One answer of the driver: its result fields, or the reason it failed.
struct Reply {
    bool ok = false;
    Fields fields;             // after "OK"
    std::vector<Fields> rows;  // the "=" data lines before it
    std::string error;         // after "ERR", or why no answer came

    const std::string& at(size_t i) const;
};

// The driver program (tests/gui/driver.cpp) running under Wine, one command at
// a time over its standard input and output.
class Driver {
public:
    Driver() = default;
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    bool start(const std::string& driverExe);
    // Sends one command; waits at most `timeoutMs` for its answer (a command's
    // own waits are shorter, so running out means the driver is stuck).
    Reply call(const Fields& command, int timeoutMs = 120000);

private:
    pid_t pid = -1;
    int toDriver = -1;
    int fromDriver = -1;
    std::string pending;  // bytes read past the last answer
};

// Runs `argv` in `folder` with standard output and error sent to `log` (or
// discarded when empty). Returns the exit status, or -1 when it could not run
// or was stopped after `timeoutSeconds`.
int runProgram(const Fields& argv, const std::string& folder, const std::string& log,
               int timeoutSeconds = 120);

// "/tmp/a b/c.bms" as Wine's programs see it: "Z:\tmp\a b\c.bms".
std::string windowsPath(const std::string& linuxPath);

std::string readText(const std::string& path);
bool writeText(const std::string& path, const std::string& content);
bool copyFile(const std::string& from, const std::string& to);
bool exists(const std::string& path);

}  // namespace gui_test

#endif  // TESTS_GUI_HARNESS_H_
