// The working data of one convert call, shared by the steps that every chart kind goes through:
// loading the key sounds by slot and mixing their triggers.
#ifndef CONVERT_CONVERSION_JOB_H_
#define CONVERT_CONVERSION_JOB_H_

#include <memory>
#include <string>
#include <vector>

#include "convert/converter.h"
#include "wav/mix_accumulator.h"
#include "wav/wav.h"

// Where the triggers mix: the saturating 16-bit buffer, or the unsaturated sum when the song is
// normalised afterwards. Both take the same calls and fail in the same cases.
class BmsMixTarget {
public:
    LuWav* saturated = nullptr;
    LuMixAccumulator* unsaturated = nullptr;

    bool extend(int64_t size) {
        return unsaturated ? unsaturated->extend(size) : saturated->extend(size);
    }
    bool mixin(int position, const LuWav& source) {
        return unsaturated ? unsaturated->mixin(position, source)
                           : saturated->mixin(position, source);
    }
    bool deduct(int position, const LuWav& source, int skip) {
        return unsaturated ? unsaturated->deduct(position, source, skip)
                           : saturated->deduct(position, source, skip);
    }
};

struct BmsConverter::Job {
    // One buffer per slot that names a sound; null for the others and for silenced sounds.
    std::vector<std::unique_ptr<LuWav>> samples;
    // Frame at which each slot's sound last started.
    std::vector<int> lastStart;
    std::string baseDirectory;
    // The loudness of every key sound in percent.
    int volume = 100;
    int largestSize = 0;
    int lastProgress = -1;
    // The mix: `sum` for a normalised song, else `mix`; `target` leads to the one in use.
    std::unique_ptr<LuWav> mix;
    std::unique_ptr<LuMixAccumulator> sum;
    BmsMixTarget target;
};

#endif  // CONVERT_CONVERSION_JOB_H_
