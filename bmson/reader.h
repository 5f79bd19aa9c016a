// Reading bmson charts (JSON) into BmsonChart.
#ifndef BMSON_READER_H_
#define BMSON_READER_H_

#include <cstdint>
#include <string>

#include "bmson/chart.h"

// Bounds on what one chart may hold; larger charts are refused with a message.
constexpr uint64_t BMSON_MAX_BYTES = 64 << 20;
// Levels of arrays and objects, the outermost object counting as 1.
constexpr int BMSON_MAX_DEPTH = 64;
// Sound channels, notes, tempo and stop events together.
constexpr uint64_t BMSON_MAX_ITEMS = 1 << 20;

// Reads the chart in `bytes`. True with the chart in `*chart`, its tempos usable and its sound
// names accepted by BmsonCheckSoundName or empty (a file that cannot be found); false with the
// reason in `*message` (Japanese, naming the JSON path or the byte offset), `*chart` then holding
// no usable chart. Unknown fields, "bga" among them, are passed over; null stands for an absent
// field.
bool BmsonRead(const std::string& bytes, BmsonChart* chart, std::string* message);
// Reads the chart file at `path` as BmsonRead does.
bool BmsonLoad(const char* path, BmsonChart* chart, std::string* message);

#endif  // BMSON_READER_H_
