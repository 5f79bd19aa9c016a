// Output that replaces its target only once complete: a fresh temporary file beside the target,
// moved over it by `commit`, removed by anything else.
#ifndef WAV_REPLACING_FILE_H_
#define WAV_REPLACING_FILE_H_

#include <cstdio>
#include <string>

// One output in progress. Objects in different threads may write beside the same target.
class LuReplacingFile {
public:
    LuReplacingFile() = default;
    LuReplacingFile(const LuReplacingFile&) = delete;
    LuReplacingFile& operator=(const LuReplacingFile&) = delete;
    ~LuReplacingFile() { discard(); }

    // Creates the temporary file, open for reading and writing. False when the target is not
    // a file that could be written (a folder, a read-only file) or the temporary file cannot
    // be created.
    bool open(const char* path);

    // The temporary file while open.
    std::FILE* get() const { return file; }

    // Closes the temporary file and moves it over the target; false, with the temporary file
    // removed and the target untouched, when either fails.
    bool commit();

    // Closes and removes the temporary file.
    void discard();

private:
    bool targetWritable() const;

    std::string target;
    std::string temporary;
    std::FILE* file = nullptr;
};

#endif  // WAV_REPLACING_FILE_H_
