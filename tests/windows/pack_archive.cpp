// Packs files into a song package for the Windows tier, with libarchive on Linux:
//
//   pack_archive OUT FORMAT OPTIONS FOLDER NAME...
//
// packs FOLDER/NAME as the member NAME. FORMAT: "zip" keeps the names' bytes with no character
// set, as Japanese Windows tools wrote them; "zip-utf8" stores them as UTF-8 under the zip's
// Unicode flag; "7z" in UTF-16, as 7-Zip does. OPTIONS: libarchive's writer options, or "".
#include <archive.h>
#include <archive_entry.h>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr, "usage: %s OUT zip|zip-utf8|7z OPTIONS FOLDER NAME...\n", argv[0]);
        return 2;
    }
    const std::string format = argv[2];
    archive* writer = archive_write_new();
    // Names reach the Unicode formats through the locale's character set.
    if (format != "zip" && !std::setlocale(LC_CTYPE, "C.UTF-8")) return 1;
    if (format == "7z") {
        archive_write_set_format_7zip(writer);
    } else {
        archive_write_set_format_zip(writer);
        if (format == "zip-utf8") archive_write_set_options(writer, "hdrcharset=UTF-8");
    }
    if ((*argv[3] && archive_write_set_options(writer, argv[3]) != ARCHIVE_OK) ||
        archive_write_open_filename(writer, argv[1]) != ARCHIVE_OK) {
        std::fprintf(stderr, "%s\n", archive_error_string(writer));
        return 1;
    }
    for (int i = 5; i < argc; ++i) {
        std::ifstream file(std::string(argv[4]) + "/" + argv[i], std::ios::binary);
        if (!file) {
            std::perror(argv[i]);
            return 1;
        }
        const std::vector<char> data((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, argv[i]);
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(data.size()));
        const bool written = archive_write_header(writer, entry) == ARCHIVE_OK &&
                             archive_write_data(writer, data.data(), data.size()) ==
                                 static_cast<la_ssize_t>(data.size());
        archive_entry_free(entry);
        if (!written) {
            std::fprintf(stderr, "%s: %s\n", argv[i], archive_error_string(writer));
            return 1;
        }
    }
    const bool closed = archive_write_close(writer) == ARCHIVE_OK;
    archive_write_free(writer);
    return closed ? 0 : 1;
}
