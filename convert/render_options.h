// How a chart is rendered: the options of both programs as one value, which the front ends fill
// and the engine reads whole.
#ifndef CONVERT_RENDER_OPTIONS_H_
#define CONVERT_RENDER_OPTIONS_H_

#include "convert/song_finish.h"

// Which of a chart's key sounds a render plays: all of them, or one practice track, the
// background alone or the keys a player presses alone.
enum class SoundTrack { ALL, BACKGROUND, KEYS };

// How a chart is rendered. The defaults are those of both programs.
struct RenderOptions {
    // Loudness of every key sound in percent.
    int volume = 50;
    // A retriggered key sound first loses the rest of its previous play.
    bool cutOnRetrigger = false;
    // Key sounds are looked up forgivingly and may be in other formats (convert/converter.h).
    bool extendedSamples = false;
    // A key sound that cannot be found or read plays as silence; the result names each one.
    bool missingSamplesSilent = false;
    // A key sound that fails to load and that no note uses is passed over without asking the
    // observer.
    bool continuePastUnusedSamples = false;
    // The chart as a player plays it, #RANDOM drawn from `seed`. A player also gives each key
    // sound one voice and plays a missing one as silence, which a front end asks for with
    // cutOnRetrigger, extendedSamples and missingSamplesSilent.
    bool playerMode = false;
    int seed = 0;
    // The key sounds played; in player mode the keys are those a player presses.
    SoundTrack track = SoundTrack::ALL;
    // The normalised mix and the preview window.
    SongFinish finish;
    // Trace lines on standard output.
    bool debug = false;
    // Key-sound loading threads; 0 leaves the choice to the loader.
    int loaderThreads = 0;
};

#endif  // CONVERT_RENDER_OPTIONS_H_
