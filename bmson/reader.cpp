#include "bmson/reader.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <vector>

#include "bmson/message.h"
#include "bmson/sound_name.h"
#include "bmson/timeline.h"

namespace {

using Json = nlohmann::json;

constexpr uint64_t DEFAULT_RESOLUTION = 240;
// nlohmann's code for a number beyond the range of a double.
constexpr int NUMBER_OVERFLOW_ID = 406;

// What a container holds; SKIP is one that the chart does not use, with all inside it.
enum class Context {
    SKIP,
    TOP,
    INFO,
    LINES,
    LINE,
    BPMS,
    BPM,
    STOPS,
    STOP,
    CHANNELS,
    CHANNEL,
    NOTES,
    NOTE
};

// The JSON type a field takes: INTEGER allows a negative value, UNSIGNED does not.
enum class Kind { STRING, NUMBER, INTEGER, UNSIGNED, BOOLEAN, OBJECT, ARRAY };

// Where a field's value goes.
enum class Slot {
    NONE,
    VERSION,
    PREVIEW,
    INIT_BPM,
    RESOLUTION,
    LINE_Y,
    BPM_Y,
    BPM,
    STOP_Y,
    DURATION,
    NAME,
    NOTE_X,
    NOTE_Y,
    NOTE_L,
    NOTE_C
};

struct Field {
    Context in;
    const char* name;
    Kind kind;
    Slot slot;
    bool required;
    // The context of an OBJECT or ARRAY field's value.
    Context opens;
};

// The fields read; fewer than 32, one bit each in Frame::given and Frame::present.
const Field FIELDS[] = {
    {Context::TOP, "version", Kind::STRING, Slot::VERSION, true, Context::SKIP},
    {Context::TOP, "info", Kind::OBJECT, Slot::NONE, true, Context::INFO},
    {Context::TOP, "lines", Kind::ARRAY, Slot::NONE, false, Context::LINES},
    {Context::TOP, "bpm_events", Kind::ARRAY, Slot::NONE, false, Context::BPMS},
    {Context::TOP, "stop_events", Kind::ARRAY, Slot::NONE, false, Context::STOPS},
    {Context::TOP, "sound_channels", Kind::ARRAY, Slot::NONE, true, Context::CHANNELS},
    {Context::INFO, "init_bpm", Kind::NUMBER, Slot::INIT_BPM, true, Context::SKIP},
    {Context::INFO, "resolution", Kind::INTEGER, Slot::RESOLUTION, false, Context::SKIP},
    {Context::INFO, "preview_music", Kind::STRING, Slot::PREVIEW, false, Context::SKIP},
    {Context::LINE, "y", Kind::UNSIGNED, Slot::LINE_Y, true, Context::SKIP},
    {Context::BPM, "y", Kind::UNSIGNED, Slot::BPM_Y, true, Context::SKIP},
    {Context::BPM, "bpm", Kind::NUMBER, Slot::BPM, true, Context::SKIP},
    {Context::STOP, "y", Kind::UNSIGNED, Slot::STOP_Y, true, Context::SKIP},
    {Context::STOP, "duration", Kind::UNSIGNED, Slot::DURATION, true, Context::SKIP},
    {Context::CHANNEL, "name", Kind::STRING, Slot::NAME, true, Context::SKIP},
    {Context::CHANNEL, "notes", Kind::ARRAY, Slot::NONE, true, Context::NOTES},
    {Context::NOTE, "x", Kind::UNSIGNED, Slot::NOTE_X, false, Context::SKIP},
    {Context::NOTE, "y", Kind::UNSIGNED, Slot::NOTE_Y, true, Context::SKIP},
    {Context::NOTE, "l", Kind::UNSIGNED, Slot::NOTE_L, false, Context::SKIP},
    {Context::NOTE, "c", Kind::BOOLEAN, Slot::NOTE_C, false, Context::SKIP},
};
constexpr int FIELD_COUNT = sizeof FIELDS / sizeof FIELDS[0];

Context elementOf(Context array) {
    switch (array) {
        case Context::LINES:
            return Context::LINE;
        case Context::BPMS:
            return Context::BPM;
        case Context::STOPS:
            return Context::STOP;
        case Context::CHANNELS:
            return Context::CHANNEL;
        case Context::NOTES:
            return Context::NOTE;
        default:
            return Context::SKIP;
    }
}

BmsonMessage nameMessage(BmsonNameProblem problem) {
    switch (problem) {
        case BmsonNameProblem::ABSOLUTE:
            return BmsonMessage::NAME_ABSOLUTE;
        case BmsonNameProblem::PARENT:
            return BmsonMessage::NAME_PARENT;
        default:
            return BmsonMessage::NAME_NUL;
    }
}

// One JSON value as the parser reports it; containers are reported as they open.
struct Value {
    enum Type { NUL, BOOLEAN, UNSIGNED, NEGATIVE, FLOAT, STRING, OBJECT, ARRAY };
    Type type;
    bool truth = false;
    uint64_t whole = 0;  // UNSIGNED, and the magnitude of NEGATIVE
    double number = 0.0;
    std::string* text = nullptr;
};

// The parser's event handler: follows the open containers, stores what the chart uses and
// stops at the first fault with its message.
class ChartBuilder {
public:
    ChartBuilder(BmsonChart* chart, std::string* message) : chart(chart), message(message) {}

    bool null() { return onValue({Value::NUL}); }
    bool boolean(bool value) {
        Value v{Value::BOOLEAN};
        v.truth = value;
        return onValue(v);
    }
    bool number_integer(Json::number_integer_t value) {
        // Only negative integers come this way; the magnitude is taken without overflow.
        Value v{Value::NEGATIVE};
        v.whole = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        v.number = static_cast<double>(value);
        return onValue(v);
    }
    bool number_unsigned(Json::number_unsigned_t value) {
        Value v{Value::UNSIGNED};
        v.whole = value;
        v.number = static_cast<double>(value);
        return onValue(v);
    }
    bool number_float(Json::number_float_t value, const std::string&) {
        Value v{Value::FLOAT};
        v.number = value;
        return onValue(v);
    }
    bool string(std::string& value) {
        Value v{Value::STRING};
        v.text = &value;
        return onValue(v);
    }
    bool binary(Json::binary_t&) { return fail(BmsonMessage::SYNTAX, 0); }
    bool start_object(std::size_t) { return onValue({Value::OBJECT}); }
    bool start_array(std::size_t) { return onValue({Value::ARRAY}); }
    bool key(std::string& name);
    bool end_object();
    bool end_array() {
        frames.pop_back();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception& error) {
        return fail(
            error.id == NUMBER_OVERFLOW_ID ? BmsonMessage::NUMBER_TOO_LARGE : BmsonMessage::SYNTAX,
            position);
    }

private:
    // An open container, and where in it the parser is.
    struct Frame {
        Context context = Context::SKIP;
        bool object = false;
        // The current key of an object, and its index in FIELDS or -1 when unused.
        std::string key;
        int field = -1;
        // The current element of an array, and how many have begun.
        uint64_t index = 0;
        uint64_t count = 0;
        uint32_t given = 0;
        uint32_t present = 0;
    };

    bool onValue(const Value& value);
    bool element(const Value& value);
    bool store(const Field& field, const Value& value);
    bool storeWhole(Slot slot, uint64_t whole);
    bool storePreview(const Value& value);
    bool open(Context context, bool object);
    // The path of the value at the given depth: "$", "$.info", "$.sound_channels[2].notes".
    std::string pathTo(size_t depth) const;
    std::string path() const { return pathTo(frames.size()); }
    bool fail(BmsonMessage text, uint64_t number) { return failAt(text, "", number); }
    bool failAt(BmsonMessage text, const std::string& where, uint64_t number = 0) {
        *message = BmsonMessageText(text, where, number);
        return false;
    }

    BmsonChart* chart;
    std::string* message;
    std::vector<Frame> frames;
    uint64_t items = 0;
};

bool ChartBuilder::onValue(const Value& value) {
    if (frames.empty()) {
        if (value.type != Value::OBJECT) return failAt(BmsonMessage::NEED_OBJECT, "$");
        return open(Context::TOP, true);
    }
    Frame& top = frames.back();
    if (top.context != Context::SKIP && !top.object) return element(value);
    if (top.context == Context::SKIP || top.field < 0) {
        if (value.type == Value::OBJECT || value.type == Value::ARRAY)
            return open(Context::SKIP, value.type == Value::OBJECT);
        return true;
    }
    if (value.type == Value::NUL) return true;
    top.present |= 1u << top.field;
    return store(FIELDS[top.field], value);
}

bool ChartBuilder::element(const Value& value) {
    Frame& top = frames.back();
    top.index = top.count++;
    if (value.type != Value::OBJECT) return failAt(BmsonMessage::NEED_OBJECT, path());
    const Context context = elementOf(top.context);
    if (context != Context::LINE && ++items > BMSON_MAX_ITEMS)
        return failAt(BmsonMessage::TOO_MANY, pathTo(frames.size() - 1), BMSON_MAX_ITEMS);
    if (context == Context::LINE) chart->lines.emplace_back();
    if (context == Context::BPM) chart->bpmEvents.emplace_back();
    if (context == Context::STOP) chart->stopEvents.emplace_back();
    if (context == Context::CHANNEL) chart->channels.emplace_back();
    if (context == Context::NOTE) chart->channels.back().notes.emplace_back();
    return open(context, true);
}

bool ChartBuilder::store(const Field& field, const Value& value) {
    switch (field.kind) {
        case Kind::OBJECT:
            if (value.type != Value::OBJECT) return failAt(BmsonMessage::NEED_OBJECT, path());
            return open(field.opens, true);
        case Kind::ARRAY:
            if (value.type != Value::ARRAY) return failAt(BmsonMessage::NEED_ARRAY, path());
            return open(field.opens, false);
        case Kind::STRING:
            if (field.slot == Slot::PREVIEW) return storePreview(value);
            if (value.type != Value::STRING) return failAt(BmsonMessage::NEED_STRING, path());
            if (field.slot == Slot::VERSION) {
                chart->version = std::move(*value.text);
            } else {
                // An empty name is a key sound that cannot be found, which the loading tells,
                // not a fault of the chart.
                const BmsonNameProblem problem = BmsonCheckSoundName(*value.text);
                if (problem != BmsonNameProblem::NONE && problem != BmsonNameProblem::EMPTY)
                    return failAt(nameMessage(problem), path());
                chart->channels.back().name = std::move(*value.text);
            }
            return true;
        case Kind::BOOLEAN:
            if (value.type != Value::BOOLEAN) return failAt(BmsonMessage::NEED_BOOLEAN, path());
            chart->channels.back().notes.back().c = value.truth;
            return true;
        case Kind::NUMBER:
            if (value.type != Value::UNSIGNED && value.type != Value::NEGATIVE &&
                value.type != Value::FLOAT)
                return failAt(BmsonMessage::NEED_NUMBER, path());
            // The parser gives finite numbers only.
            if (!(value.number > 0.0)) return failAt(BmsonMessage::TEMPO, path());
            if (field.slot == Slot::INIT_BPM)
                chart->initBpm = value.number;
            else
                chart->bpmEvents.back().bpm = value.number;
            return true;
        case Kind::INTEGER:
            // A negative resolution stands for its magnitude.
            if (value.type != Value::UNSIGNED && value.type != Value::NEGATIVE)
                return failAt(BmsonMessage::NEED_INTEGER, path());
            return storeWhole(field.slot, value.whole);
        case Kind::UNSIGNED:
            // "-0" reads as a negative integer of magnitude 0.
            if (value.type != Value::UNSIGNED &&
                !(value.type == Value::NEGATIVE && value.whole == 0))
                return failAt(BmsonMessage::NEED_UNSIGNED, path());
            return storeWhole(field.slot, value.whole);
    }
    return true;
}

// The preview clip only chooses whether a preview is made: a value that is no text names none,
// and is no fault of the chart.
bool ChartBuilder::storePreview(const Value& value) {
    if (value.type == Value::STRING) chart->previewMusic = std::move(*value.text);
    if (value.type == Value::OBJECT || value.type == Value::ARRAY)
        return open(Context::SKIP, value.type == Value::OBJECT);
    return true;
}

bool ChartBuilder::storeWhole(Slot slot, uint64_t whole) {
    switch (slot) {
        case Slot::RESOLUTION:
            chart->resolution = whole != 0 ? whole : DEFAULT_RESOLUTION;
            break;
        case Slot::LINE_Y:
            chart->lines.back() = whole;
            break;
        case Slot::BPM_Y:
            chart->bpmEvents.back().y = whole;
            break;
        case Slot::STOP_Y:
            chart->stopEvents.back().y = whole;
            break;
        case Slot::DURATION:
            chart->stopEvents.back().duration = whole;
            break;
        case Slot::NOTE_X:
            chart->channels.back().notes.back().x = whole;
            break;
        case Slot::NOTE_Y:
            chart->channels.back().notes.back().y = whole;
            break;
        case Slot::NOTE_L:
            chart->channels.back().notes.back().l = whole;
            break;
        default:
            break;
    }
    return true;
}

bool ChartBuilder::open(Context context, bool object) {
    if (frames.size() >= static_cast<size_t>(BMSON_MAX_DEPTH))
        return failAt(BmsonMessage::TOO_DEEP, path(), BMSON_MAX_DEPTH);
    Frame frame;
    frame.context = context;
    frame.object = object;
    frames.push_back(std::move(frame));
    return true;
}

bool ChartBuilder::key(std::string& name) {
    Frame& top = frames.back();
    top.key = std::move(name);
    top.field = -1;
    if (top.context == Context::SKIP) return true;
    for (int i = 0; i < FIELD_COUNT; ++i) {
        if (FIELDS[i].in == top.context && top.key == FIELDS[i].name) top.field = i;
    }
    if (top.field < 0) return true;
    const uint32_t bit = 1u << top.field;
    if (top.given & bit) return failAt(BmsonMessage::TWICE, path());
    top.given |= bit;
    return true;
}

bool ChartBuilder::end_object() {
    const Frame& top = frames.back();
    for (int i = 0; i < FIELD_COUNT; ++i) {
        const Field& field = FIELDS[i];
        if (field.in == top.context && field.required && !(top.present & (1u << i)))
            return failAt(BmsonMessage::MISSING, pathTo(frames.size() - 1) + "." + field.name);
    }
    frames.pop_back();
    return true;
}

std::string ChartBuilder::pathTo(size_t depth) const {
    std::string text = "$";
    for (size_t i = 0; i < depth && i < frames.size(); ++i) {
        if (frames[i].object)
            text += "." + frames[i].key;
        else
            text += "[" + std::to_string(frames[i].index) + "]";
    }
    return text;
}

// Every tempo must give a pulse a finite length at the chart's resolution.
bool checkTempos(const BmsonChart& chart, std::string* message) {
    if (!std::isfinite(BmsonFramesPerPulse(chart.initBpm, chart.resolution))) {
        *message = BmsonMessageText(BmsonMessage::TEMPO, "$.info.init_bpm");
        return false;
    }
    for (size_t i = 0; i < chart.bpmEvents.size(); ++i) {
        if (!std::isfinite(BmsonFramesPerPulse(chart.bpmEvents[i].bpm, chart.resolution))) {
            const std::string path = "$.bpm_events[" + std::to_string(i) + "].bpm";
            *message = BmsonMessageText(BmsonMessage::TEMPO, path);
            return false;
        }
    }
    return true;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool BmsonRead(const std::string& bytes, BmsonChart* chart, std::string* message) {
    if (bytes.size() > BMSON_MAX_BYTES) {
        *message = BmsonMessageText(BmsonMessage::FILE_TOO_LARGE, "", BMSON_MAX_BYTES);
        return false;
    }
    *chart = BmsonChart();
    message->clear();
    ChartBuilder builder(chart, message);
    bool read = false;
    try {
        read = Json::sax_parse(bytes.begin(), bytes.end(), &builder);
    } catch (const Json::exception&) {
        read = false;
    }
    if (!read) {
        if (message->empty()) *message = BmsonMessageText(BmsonMessage::SYNTAX, "", 0);
        return false;
    }
    return checkTempos(*chart, message);
}

bool BmsonLoad(const char* path, BmsonChart* chart, std::string* message) {
    std::unique_ptr<std::FILE, FileCloser> file(path ? std::fopen(path, "rb") : nullptr);
    if (!file) {
        *message = BmsonMessageText(BmsonMessage::OPEN, "");
        return false;
    }
    std::string bytes;
    char buffer[65536];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, count);
        if (bytes.size() > BMSON_MAX_BYTES) {
            *message = BmsonMessageText(BmsonMessage::FILE_TOO_LARGE, "", BMSON_MAX_BYTES);
            return false;
        }
    }
    if (std::ferror(file.get())) {
        *message = BmsonMessageText(BmsonMessage::OPEN, "");
        return false;
    }
    return BmsonRead(bytes, chart, message);
}
