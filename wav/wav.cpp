#include "wav/wav.h"

bool LuWav::reset() {
    return false;
}
bool LuWav::read(const char*) {
    return false;
}
bool LuWav::extend(int64_t) {
    return false;
}
bool LuWav::write(const char*) const {
    return false;
}
void LuWav::changeVolume(int) {}
bool LuWav::mixin(int, const LuWav&) {
    return false;
}
bool LuWav::deduct(int, const LuWav&, int) {
    return false;
}
bool LuWav::change16bit() {
    return false;
}
bool LuWav::change2ch() {
    return false;
}
bool LuWav::change44kHz() {
    return false;
}
