// Archives from hostile hands: what listing and unpacking keep of members whose names climb
// out, run through files or are too long, of links, and of packages beyond the limits.
#include "library/archive_charts.h"

#include <archive.h>
#include <archive_entry.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace fs = std::filesystem;

namespace {

struct Member {
    std::string name;
    std::string content;
    // A link's target; empty for a regular file.
    std::string link = std::string();
};

void zip(const std::string& path, const std::vector<Member>& members) {
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    ASSERT_EQ(ARCHIVE_OK, archive_write_open_filename(writer, path.c_str()));
    for (const Member& member : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.name.c_str());
        archive_entry_set_filetype(entry, member.link.empty() ? AE_IFREG : AE_IFLNK);
        if (!member.link.empty()) archive_entry_set_symlink(entry, member.link.c_str());
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(member.content.size()));
        archive_write_header(writer, entry);
        archive_write_data(writer, member.content.data(), member.content.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

// The files below `folder`, by their paths below it, each with its size.
std::vector<std::string> filesBelow(const std::string& folder) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_directory()) continue;
        files.push_back(fs::relative(entry.path(), folder).string() + " " +
                        (entry.is_regular_file() ? std::to_string(entry.file_size()) : "link"));
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Unpacks into a folder two levels below the test's, so that a member that climbed out of its
// private folder would show.
class ArchiveChartsTest : public testing::Test {
protected:
    void SetUp() override {
        tmp = dir.file("t1/t2");
        fs::create_directories(tmp);
        tmpOverride.point(tmp);
    }
    // Whether nothing but the archive is left.
    void expectOnlyArchive() {
        EXPECT_EQ(std::vector<std::string>({"pack.zip " + std::to_string(fs::file_size(archive))}),
                  filesBelow(dir.path()));
        EXPECT_TRUE(fs::is_empty(tmp));
    }

    test_util::TempDir dir;
    const std::string archive = dir.file("pack.zip");
    std::string tmp;
    test_util::TmpDirOverride tmpOverride;
};

TEST_F(ArchiveChartsTest, KeepsMembersInsideAndCountsTheSoundsBesideEachChart) {
    const std::string longPart(300, 'x');
    zip(archive, {{"song/b.bms", "12345"},
                  {"song/kick.wav", std::string(100, 'k')},
                  {"song/a.bms", "1"},
                  {"song/notes.txt", std::string(1000, 'n')},
                  {"song/a.bms", "second"},
                  {"other/c.bme", "12"},
                  {"other/s.ogg", std::string(40, 'o')},
                  {"../up.bms", "#"},
                  {"../../up2.wav", "#"},
                  {"/abs/x.bms", "#"},
                  {"a\\..\\..\\win.bms", "#"},
                  {"C:/drive.bms", "#"},
                  {"link.bms", "", "/etc/passwd"},
                  {"song/kick.wav/deeper/inner.wav", "runs through a file"},
                  {"song/" + longPart + ".wav", "too long a name"},
                  {"song/movie.mp4", "unneeded"}});
    std::vector<ArchiveChart> charts;
    ArchiveFault fault;
    ASSERT_TRUE(listArchiveCharts(archive, &charts, &fault));
    std::vector<std::string> listed;
    for (const ArchiveChart& chart : charts)
        listed.push_back(chart.name + " " + std::to_string(chart.cost));
    // Each chart's size and that of the sounds in its folder; a name given twice counts once.
    EXPECT_EQ(std::vector<std::string>({"other/c.bme 42", "song/a.bms 116", "song/b.bms 120"}),
              listed);
    {
        UnpackedArchive unpacked;
        ASSERT_TRUE(unpacked.unpack(archive, &fault));
        EXPECT_EQ(
            std::vector<std::string>({"other/c.bme 2", "other/s.ogg 40", "song/a.bms 1",
                                      "song/b.bms 5", "song/kick.wav 100", "song/notes.txt 1000"}),
            filesBelow(unpacked.getFolder()));
    }
    expectOnlyArchive();
}

TEST_F(ArchiveChartsTest, FailsPackagesBeyondTheLimits) {
    zip(archive, {{"s/a.bms", "1234"},
                  {"s/k.wav", std::string(100, 'k')},
                  {"s/cover.png", std::string(1000, 'p')}});
    const struct {
        int64_t bytes;
        int members;
        bool within;
    } cases[] = {{104, 2, true}, {103, 2, false}, {104, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " " + std::to_string(c.members));
        ArchiveLimits limits;
        limits.bytes = c.bytes;
        limits.members = c.members;
        std::vector<ArchiveChart> charts;
        ArchiveFault listFault = ArchiveFault::NOT_UNPACKED;
        EXPECT_EQ(c.within, listArchiveCharts(archive, &charts, &listFault, limits));
        ArchiveFault unpackFault = ArchiveFault::NOT_UNPACKED;
        {
            UnpackedArchive unpacked;
            EXPECT_EQ(c.within, unpacked.unpack(archive, &unpackFault, limits));
        }
        if (!c.within) {
            EXPECT_EQ(ArchiveFault::TOO_LARGE, listFault);
            EXPECT_EQ(ArchiveFault::TOO_LARGE, unpackFault);
        }
        expectOnlyArchive();
    }
}

}  // namespace
