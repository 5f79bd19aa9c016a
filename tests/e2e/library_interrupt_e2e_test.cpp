// Ctrl-C during a library run (-a): the charts being rendered finish, none starts after it, no
// output is left half written, the summary counts the charts left undone and the status is 255.
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/e2e/run_keymix.h"
#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

using test_util::Bytes;
using test_util::TempDir;

constexpr int CHARTS = 64;
// Ten seconds of a one-second sound, eight notes a bar at 120 BPM.
constexpr char CHART[] =
    "#BPM 120\n#WAV01 tone.wav\n#00001:0101010101010101\n"
    "#00101:0101010101010101\n#00201:0101010101010101\n"
    "#00301:0101010101010101\n#00401:01\n";

std::string folderOf(int i) {
    return "lib/" + std::to_string(1000 + i);
}

// Starts keymix with its output streams in files; the process's id.
pid_t startKeymix(const TempDir& dir, const std::vector<std::string>& args) {
    const pid_t child = fork();
    if (child != 0) return child;
    std::vector<char*> argv;
    const std::string program = e2e::programPath();
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (chdir(dir.path().c_str()) != 0 || !std::freopen("stdout.txt", "w", stdout) ||
        !std::freopen("stderr.txt", "w", stderr))
        _exit(127);
    execv(argv[0], argv.data());
    _exit(127);
}

TEST(LibraryInterruptE2eTest, FinishesChartsUnderWayAndReportsTheRest) {
    TempDir dir;
    const Bytes tone = test_util::constantWav(44100, 1000);
    for (int i = 0; i < CHARTS; ++i) {
        fs::create_directories(dir.file(folderOf(i)));
        dir.write(folderOf(i) + "/song.bms", CHART);
        dir.write(folderOf(i) + "/tone.wav", tone);
    }
    ASSERT_EQ(0, e2e::runKeymix(dir, {"-o", "expected.wav", folderOf(0) + "/song.bms"}).status);
    const Bytes expected = test_util::readFile(dir.file("expected.wav"));

    const pid_t child = startKeymix(dir, {"-a", "lib"});
    ASSERT_GT(child, 0);
    // Interrupted once the first output is there: the run is then under way.
    bool started = false;
    for (int wait = 0; wait < 20000 && !started; ++wait) {
        for (int i = 0; i < CHARTS && !started; ++i)
            started = test_util::fileExists(dir.file(folderOf(i) + "/song.wav"));
        if (!started) usleep(1000);
    }
    EXPECT_TRUE(started);
    kill(child, SIGINT);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(255, WEXITSTATUS(status));

    int written = 0;
    for (int i = 0; i < CHARTS; ++i) {
        SCOPED_TRACE(folderOf(i));
        const std::string output = dir.file(folderOf(i) + "/song.wav");
        const bool there = test_util::fileExists(output);
        if (there) {
            EXPECT_EQ(expected, test_util::readFile(output));
        }
        written += there;
        // Nothing but the chart, its sound and a complete output.
        EXPECT_EQ(there ? 3 : 2, std::distance(fs::directory_iterator(dir.file(folderOf(i))),
                                               fs::directory_iterator()));
    }
    EXPECT_GT(written, 0);
    EXPECT_LT(written, CHARTS);
    const std::string out = e2e::readText(dir.file("stdout.txt"));
    const std::string summary = "\n書き込み " + std::to_string(written) +
                                "  失敗 0  スキップ 0\n中断しました。未処理の譜面 " +
                                std::to_string(CHARTS - written) +
                                "\n結果一覧を書き込みました lib/keymix-report.tsv\n";
    EXPECT_NE(std::string::npos, out.find(summary)) << out;
    EXPECT_EQ("", e2e::readText(dir.file("stderr.txt")));
}

}  // namespace
