// Member names in the bytes the archive stores, whatever the locale.
#include <archive.h>
#include <archive_entry.h>
#include <fstream>
#include <gtest/gtest.h>
#include <locale.h>
#include <string>
#include <vector>

#include "library/archive_charts.h"
#include "tests/test_util.h"

namespace {

// Writes one member of five bytes. The writer reads `name` in the locale's character set: C
// keeps a zip's names as bytes, UTF-8 lets a zip under "hdrcharset=UTF-8" and a 7z store them
// as Unicode.
void pack(const std::string& path, const char* format, const char* options, const char* name) {
    const locale_t utf8 =
        newlocale(LC_CTYPE_MASK, options ? "C.UTF-8" : "C", static_cast<locale_t>(0));
    ASSERT_TRUE(utf8);
    const locale_t previous = uselocale(utf8);
    archive* writer = archive_write_new();
    archive_write_set_format_by_name(writer, format);
    if (options) archive_write_set_options(writer, options);
    archive_write_open_filename(writer, path.c_str());
    archive_entry* entry = archive_entry_new();
    archive_entry_set_pathname(entry, name);
    archive_entry_set_filetype(entry, AE_IFREG);
    archive_entry_set_perm(entry, 0644);
    archive_entry_set_size(entry, 5);
    EXPECT_EQ(ARCHIVE_OK, archive_write_header(writer, entry));
    archive_write_data(writer, "#WAV\n", 5);
    archive_entry_free(entry);
    EXPECT_EQ(ARCHIVE_OK, archive_write_close(writer));
    archive_write_free(writer);
    uselocale(previous);
    freelocale(utf8);
}

// Names stored without a character set come as their bytes, names stored in Unicode as UTF-8,
// whatever the locale (here C, whose ASCII spells none of them); both unpack where the chart's
// name says.
TEST(ArchiveNamesTest, NamesAsStored) {
    const std::string utf8Name = "\xE6\x9B\xB2/\xE8\xAD\x9C\xE9\x9D\xA2.bms";  // 曲/譜面.bms
    const struct {
        const char* file;
        const char* format;
        const char* options;
        std::string name;
    } cases[] = {
        {"sjis.zip", "zip", nullptr, "\x8B\xC8/\x95\x88\x96\xCA.bms"},
        {"utf8.zip", "zip", "hdrcharset=UTF-8", utf8Name},
        {"lzma2.7z", "7zip", "compression=lzma2", utf8Name},
    };
    test_util::TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = dir.file(c.file);
        pack(path, c.format, c.options, c.name.c_str());
        std::vector<ArchiveChart> charts;
        ArchiveFault fault;
        ASSERT_TRUE(listArchiveCharts(path, &charts, &fault));
        ASSERT_EQ(1u, charts.size());
        EXPECT_EQ(c.name, charts[0].name);
        EXPECT_EQ(utf8Name, readableMemberName(c.name));
        UnpackedArchive unpacked;
        ASSERT_TRUE(unpacked.unpack(path, &fault));
        std::ifstream chart(unpacked.getFolder() + c.name, std::ios::binary);
        std::string text;
        EXPECT_TRUE(std::getline(chart, text));
        EXPECT_EQ("#WAV", text);
    }
}

}  // namespace
