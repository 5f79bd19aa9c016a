// Sound file names of bmson charts: which ones may be opened, and their one spelling.
#ifndef BMSON_SOUND_NAME_H_
#define BMSON_SOUND_NAME_H_

#include <string>

// Why a sound name may not be opened beside its chart.
enum class BmsonNameProblem {
    NONE,
    // Nothing is left but separators and "." parts.
    EMPTY,
    // Starts at a root: "/x", "\x", "\\server\x" or a drive, "C:x".
    ABSOLUTE,
    // A part made of dots only, at least two: "..", "...", which may climb out of the folder.
    PARENT,
    // Holds a NUL character, which would cut the name short.
    NUL,
};

BmsonNameProblem BmsonCheckSoundName(const std::string& name);

// The name with '/' between its parts: backslashes become '/', and empty and "." parts are
// dropped ("a\\.\\b//c.wav" is "a/b/c.wav"). A name without an extension keeps lacking one;
// the key sound lookup tries the extensions it knows.
std::string BmsonNormalizeSoundName(const std::string& name);

#endif  // BMSON_SOUND_NAME_H_
