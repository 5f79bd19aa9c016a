// Paths between the narrow texts that the C library's file functions take and
// std::filesystem. On Windows the narrow texts are in the ANSI code page, which the
// filesystem library neither reads nor writes (it takes them byte for byte and gives UTF-8);
// elsewhere both are the same bytes.
#ifndef TEXT_NATIVE_PATH_H_
#define TEXT_NATIVE_PATH_H_

#include <filesystem>
#include <string>

// `path` as the filesystem library names the same file.
std::filesystem::path toFsPath(const std::string& path);

// `path` as the C library's file functions name it. On Windows, characters that the code page
// lacks become "?", which names no file.
std::string fromFsPath(const std::filesystem::path& path);

#endif  // TEXT_NATIVE_PATH_H_
