// The library run (-a) against single runs of the same charts: a generated tree with broken
// charts, a missing key sound, an up-to-date output and a zipped package.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "console/keymix.h"
#include "tests/test_util.h"

#if KEYMIX_ARCHIVES
#include <archive.h>
#include <archive_entry.h>
#endif

namespace fs = std::filesystem;
using test_util::Bytes;
using test_util::runInProcess;
using test_util::RunResult;

namespace {

constexpr char SONG[] = "#BPM 120\n#WAV01 kick.wav\n#WAV02 snare.wav\n#00111:0102\n#00212:02\n";
constexpr char OTHER[] = "#BPM 150\n#WAV01 kick.wav\n#00111:01010101\n";

void put(const std::string& path, const Bytes& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), content.size());
}
void put(const std::string& path, const std::string& text) {
    put(path, Bytes(text.begin(), text.end()));
}

// Makes the file look older than anything written from now on.
void age(const std::string& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
}

#if KEYMIX_ARCHIVES
void zip(const std::string& path, const std::map<std::string, Bytes>& members) {
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    ASSERT_EQ(ARCHIVE_OK, archive_write_open_filename(writer, path.c_str()));
    for (const auto& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.first.c_str());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(member.second.size()));
        archive_write_header(writer, entry);
        archive_write_data(writer, member.second.data(), member.second.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}
#endif

// The report's rows: chart -> status, output and whether a length is given.
std::map<std::string, std::string> readReport(const std::string& path) {
    std::map<std::string, std::string> rows;
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    EXPECT_EQ("chart\tstatus\tmessage\tseconds\toutput\tlength", line);
    while (std::getline(file, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (fields.size() == 5) fields.push_back("");
        EXPECT_EQ(6u, fields.size()) << line;
        if (fields.size() != 6) continue;
        rows[fields[0]] = fields[1] + " " + fields[4] + (fields[5].empty() ? "" : " timed");
    }
    return rows;
}

class LibraryRunTest : public testing::Test {
protected:
    void SetUp() override {
        lib = dir.file("lib");
        const Bytes kick = test_util::constantWav(3000, 9000);
        const Bytes snare = test_util::constantWav(5000, -4000);
        put(lib + "/good/song.bms", SONG);
        put(lib + "/good/sub/Other.BME", OTHER);
        put(lib + "/good/kick.wav", kick);
        put(lib + "/good/snare.wav", snare);
        put(lib + "/good/sub/kick.wav", kick);
        put(lib + "/good/notes.txt", "not a chart");
        put(lib + "/bad/broken.bms", "#00111 :01\n");
        put(lib + "/bad/missing.bms", "#WAV01 none.wav\n#00111:01\n");
        put(lib + "/done/done.bms", OTHER);
        put(lib + "/done/kick.wav", kick);
#if KEYMIX_ARCHIVES
        zip(lib + "/pack.zip", {{"song/packed.bms", Bytes(SONG, SONG + sizeof SONG - 1)},
                                {"song/kick.wav", kick},
                                {"song/snare.wav", snare},
                                {"../escape.bms",
                                 Bytes {
                                     '#'
                                 }},
                                { "/abs/escape.bms",
                                  Bytes {
                                      '#'
                                  } }});
#endif
        for (const char* name : {"/done/done.bms", "/done/kick.wav"}) age(lib + name);
        put(lib + "/done/done.wav", "kept");
        tmp = dir.file("tmp");
        fs::create_directories(tmp);
        tmpOverride.point(tmp);
    }

    // What a single run of the chart writes, and its closing message.
    RunResult single(const std::string& chart, Bytes* output) {
        const std::string path = dir.file("single.wav");
        std::remove(path.c_str());
        RunResult result = runInProcess({"-o", path, chart});
        *output = test_util::fileExists(path) ? test_util::readFile(path) : Bytes();
        return result;
    }

    test_util::TempDir dir;
    std::string lib;
    std::string tmp;
    test_util::TmpDirOverride tmpOverride;
};

TEST_F(LibraryRunTest, RendersTreeAsSingleRunsDoAndResumes) {
#if KEYMIX_ARCHIVES
    const int packed = 1;
#else
    const int packed = 0;
#endif
    RunResult first = runInProcess({"-a", lib});
    EXPECT_EQ(-1, first.status);
    EXPECT_EQ("", first.err);
    EXPECT_NE(std::string::npos,
              first.out.find("\n書き込み " + std::to_string(2 + packed) + "  失敗 2  スキップ 1\n"))
        << first.out;

    // The outputs hold the bytes of single runs; failures carry a single run's message.
    for (const char* chart : {"/good/song.bms", "/good/sub/Other.BME"}) {
        SCOPED_TRACE(chart);
        Bytes expected;
        EXPECT_EQ(0, single(lib + chart, &expected).status);
        const std::string output = lib + std::string(chart).substr(0, std::strlen(chart) - 4);
        EXPECT_EQ(expected, test_util::readFile(output + ".wav"));
    }
    for (const char* chart : {"/bad/broken.bms", "/bad/missing.bms"}) {
        SCOPED_TRACE(chart);
        Bytes none;
        const RunResult alone = single(lib + chart, &none);
        EXPECT_NE(std::string::npos,
                  first.out.find("\n失敗した譜面 " + lib + chart + "\n" + alone.err.substr(1)));
        EXPECT_FALSE(
            test_util::fileExists(lib + std::string(chart, std::strlen(chart) - 4) + ".wav"));
    }
    EXPECT_EQ(Bytes({'k', 'e', 'p', 't'}), test_util::readFile(lib + "/done/done.wav"));

    std::map<std::string, std::string> expected = {
        {lib + "/good/song.bms", "rendered " + lib + "/good/song.wav timed"},
        {lib + "/good/sub/Other.BME", "rendered " + lib + "/good/sub/Other.wav timed"},
        {lib + "/bad/broken.bms", "failed " + lib + "/bad/broken.wav"},
        {lib + "/bad/missing.bms", "failed " + lib + "/bad/missing.wav"},
        {lib + "/done/done.bms", "skipped " + lib + "/done/done.wav timed"},
    };
#if KEYMIX_ARCHIVES
    expected[lib + "/pack.zip/song/packed.bms"] = "rendered " + lib + "/packed.wav timed";
    EXPECT_EQ(test_util::readFile(lib + "/good/song.wav"),
              test_util::readFile(lib + "/packed.wav"));
    EXPECT_FALSE(test_util::fileExists(dir.file("escape.bms")));
    EXPECT_TRUE(fs::is_empty(tmp));
#endif
    EXPECT_EQ(expected, readReport(lib + "/keymix-report.tsv"));

    // Up-to-date outputs are skipped until a key sound changes, or -f renders all again.
    const struct {
        std::vector<std::string> args;
        const char* touched;
        int written;
        int skipped;
    } reruns[] = {
        {{"-a", lib}, nullptr, 0, 3 + packed},
        {{"-a", lib}, "/good/snare.wav", 1, 2 + packed},
        {{"-f", "-a", lib}, nullptr, 3 + packed, 0},
    };
    for (const auto& rerun : reruns) {
        if (rerun.touched) put(lib + rerun.touched, test_util::constantWav(10, 1));
        const RunResult again = runInProcess(rerun.args);
        EXPECT_EQ(-1, again.status);
        EXPECT_NE(std::string::npos,
                  again.out.find("\n書き込み " + std::to_string(rerun.written) +
                                 "  失敗 2  スキップ " + std::to_string(rerun.skipped) + "\n"))
            << again.out;
    }
}

// Paths on standard input, outputs mirrored under -o; every chart rendered means status 0.
TEST_F(LibraryRunTest, ReadsListFromStandardInput) {
    const std::string list = dir.file("list.txt");
    put(list, lib + "/good/song.bms\r\n\n" + lib + "/good/sub\n");
    const int saved = dup(0);
    std::FILE* input = std::fopen(list.c_str(), "r");
    ASSERT_TRUE(input);
    dup2(fileno(input), 0);
    std::clearerr(stdin);
    const std::string out = dir.file("out");
    const RunResult result = runInProcess({"-a", "-", "-o", out});
    dup2(saved, 0);
    close(saved);
    std::fclose(input);
    std::clearerr(stdin);
    EXPECT_EQ(0, result.status) << result.out;
    EXPECT_TRUE(test_util::fileExists(out + lib + "/good/song.wav"));
    EXPECT_TRUE(test_util::fileExists(out + lib + "/good/sub/Other.wav"));
    EXPECT_EQ(2u, readReport(out + "/keymix-report.tsv").size());
}

// With -w: one preview per folder of charts, from its chart with the most sounded notes; a
// folder with a preview of its own and archives are passed over.
TEST_F(LibraryRunTest, WritesOnePreviewPerFolder) {
#if KEYMIX_ARCHIVES
    const int packed = 1;
#else
    const int packed = 0;
#endif
    put(lib + "/good/more.bms", OTHER);
    put(lib + "/own/song.bms", OTHER);
    put(lib + "/own/Preview.MP3", "author's");
    put(lib + "/named/song.bms", std::string("#PREVIEW clip.wav\n") + OTHER);
    put(lib + "/named/clip.wav", "author's");
    const RunResult first = runInProcess({"-a", "-w", "0,1", lib});
    EXPECT_EQ(-1, first.status);
    EXPECT_NE(std::string::npos, first.out.find("\nフォルダ 書き込み 3  失敗 1  スキップ " +
                                                std::to_string(2 + packed) + "\n"))
        << first.out;
    EXPECT_NE(std::string::npos, first.out.find("\n失敗したフォルダ " + lib + "/bad/\n"));
    if (packed) {
        EXPECT_NE(std::string::npos,
                  first.out.find("\nアーカイブにはプレビューを作りません " + lib + "/pack.zip\n"));
    }
    EXPECT_FALSE(test_util::fileExists(lib + "/good/more.wav"));
    for (const char* folder : {"/own/", "/named/", "/bad/"})
        EXPECT_FALSE(test_util::fileExists(lib + folder + "preview_keymix.ogg")) << folder;

    std::ifstream report(lib + "/keymix-report.tsv");
    std::string line;
    std::getline(report, line);
    EXPECT_EQ("folder\tstatus\tmessage\tseconds\toutput\tlength\tchart", line);
    std::map<std::string, std::string> rows;
    while (std::getline(report, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        fields.resize(7);
        rows[fields[0]] = fields[1] + " " + fields[4] + " " + fields[6];
    }
    std::map<std::string, std::string> expected = {
        {lib + "/good/", "rendered " + lib + "/good/preview_keymix.ogg " + lib + "/good/more.bms"},
        {lib + "/good/sub/",
         "rendered " + lib + "/good/sub/preview_keymix.ogg " + lib + "/good/sub/Other.BME"},
        {lib + "/bad/", "failed " + lib + "/bad/preview_keymix.ogg " + lib + "/bad/missing.bms"},
        {lib + "/done/", "rendered " + lib + "/done/preview_keymix.ogg " + lib + "/done/done.bms"},
        {lib + "/own/", "skipped " + lib + "/own/preview_keymix.ogg "},
        {lib + "/named/", "skipped " + lib + "/named/preview_keymix.ogg "},
    };
    if (packed) expected[lib + "/pack.zip"] = "skipped  ";
    EXPECT_EQ(expected, rows);

    const struct {
        std::vector<std::string> args;
        int written;
        int skipped;
    } reruns[] = {
        {{"-a", "-w", "0,1", lib}, 0, 5 + packed},
        {{"-f", "-a", "-w", "0,1", lib}, 3, 2 + packed},
        {{"-a", "-w", "0,1", "-o", dir.file("out"), lib}, 3, 2 + packed},
    };
    for (const auto& rerun : reruns) {
        const RunResult again = runInProcess(rerun.args);
        EXPECT_NE(std::string::npos,
                  again.out.find("\nフォルダ 書き込み " + std::to_string(rerun.written) +
                                 "  失敗 1  スキップ " + std::to_string(rerun.skipped) + "\n"))
            << again.out;
    }
    EXPECT_TRUE(test_util::fileExists(dir.file("out") + "/good/sub/preview_keymix.ogg"));
}

TEST(LibraryCommandLineTest, OptionsOfTheLibraryRun) {
    const struct {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{"-a"}, 0, "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n"},
        {{"-f", "song.bms"},
         0,
         "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n"},
        {{"-"}, 0, "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n"},
        {{"-a", "-", "x"}, 0, "Usage: keymix [-v volume(%)] [-o output] [-d] [-i] [-r] <input>\n"},
        {{"-a", "no such folder"}, -1, "\nフォルダを読めません no such folder\n"},
    };
    for (const auto& c : cases) {
        const RunResult result = runInProcess(c.args);
        EXPECT_EQ(c.status, result.status);
        EXPECT_EQ(c.err, result.err);
    }
}

}  // namespace
