#include "convert/song_output.h"

#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <shlwapi.h>
#else
#include <sys/stat.h>
#endif

#include "song/sound_file_writer.h"
#include "text/make_path.h"
#include "wav/wav.h"

std::string proposeOutputPath(const std::string& chartPath) {
    std::vector<char> path(chartPath.begin(), chartPath.end());
    path.push_back('\0');
    makePath(path.data(), true, true, true, false);
    return std::string(path.data()) + ".wav";
}

bool outputExists(const std::string& path) {
#ifdef _WIN32
    // The check that the window's overwrite question has always made.
    return PathFileExistsA(path.c_str()) != FALSE;
#else
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
#endif
}

bool probeOutput(const std::string& path) {
    std::FILE* probe = std::fopen(path.c_str(), "ab");
    if (!probe) return false;
    std::fclose(probe);
    return true;
}

bool writeSong(const LuWav& song, const std::string& path) {
    const char* output = path.c_str();
    return LuIsEncodedFormat(output) ? LuWriteSoundFile(output, song) : song.write(output);
}
