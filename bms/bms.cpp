#include "bms/bms.h"

#include <climits>
#include <cstring>

BmsBms::BmsBms() : wavs("WAV"), bmps("BMP"), channelCount(0), firstChannel(nullptr) {}

BmsBms::~BmsBms() {
    clearChannels();
}

BmsBar BmsBms::getBar(int bar) const {
    if (bar < 0 || bar >= BAR_COUNT) return BmsBar(0);
    return bars[bar];
}

BmsBar BmsBms::setBar(int bar, const BmsBar& length) {
    if (bar < 0 || bar >= BAR_COUNT) return BmsBar(0);
    BmsBar previous = bars[bar];
    bars[bar] = length;
    return previous;
}

int BmsBms::getBarStart(int bar) const {
    // Summed in 64 bits: lengths set through `setBar` are not bounded.
    long long start = 0;
    for (int i = 0; i < bar && i < BAR_COUNT; ++i) start += bars[i].getLength();
    if (start > INT_MAX) return INT_MAX;
    if (start < INT_MIN) return INT_MIN;
    return static_cast<int>(start);
}

BmsChannel* BmsBms::findChannel(const BmsWord& id) const {
    for (BmsChannel* channel = firstChannel; channel; channel = channel->getNext()) {
        if (channel->getId() == id) return channel;
    }
    return nullptr;
}

BmsChannel* BmsBms::insertChannel(BmsChannel* lane) {
    if (!lane) return nullptr;
    int value = lane->getId().toInt();
    BmsChannel* previous = nullptr;
    BmsChannel* current = firstChannel;
    while (current && current->getId().toInt() < value) {
        previous = current;
        current = current->getNext();
    }
    BmsChannel* displaced = nullptr;
    if (current && current->getId().toInt() == value) {
        if (current == lane) return nullptr;
        displaced = current;
        current = current->getNext();
        displaced->setNext(nullptr);
    } else {
        ++channelCount;
    }
    lane->setNext(current);
    if (previous) {
        previous->setNext(lane);
    } else {
        firstChannel = lane;
    }
    return displaced;
}

int BmsBms::clearChannels() {
    int removed = 0;
    while (firstChannel) {
        BmsChannel* channel = firstChannel;
        firstChannel = channel->getNext();
        delete channel;
        ++removed;
    }
    channelCount = 0;
    return removed;
}

int BmsBms::getLastPosition() const {
    int last = 0;
    for (BmsChannel* channel = firstChannel; channel; channel = channel->getNext()) {
        for (BmsChannel* lane = channel; lane; lane = lane->getNextLane()) {
            int used = lane->getUsedSize();
            if (used - 1 > last) last = used - 1;
        }
    }
    return last;
}

size_t BmsBms::putObjects(int bar, const BmsWord& channel, const char* objects) {
    if (!objects) return 0;
    size_t length = std::strlen(objects);
    long long tics = getBar(bar).getLength();
    if (length == 0 || length % 2 != 0 || static_cast<long long>(length / 2) > tics) return 0;
    BmsChannel* lane = findChannel(channel);
    if (!lane) {
        lane = new BmsChannel(channel);
        insertChannel(lane);
    }
    return spreadObjects(bar, lane, objects, length, true);
}

size_t BmsBms::spreadObjects(int bar, BmsBuffer* lane, const char* objects, size_t length,
                             bool skipEmpty) {
    size_t pairs = length / 2;
    if (!lane || !objects || pairs == 0) return 0;
    int start = getBarStart(bar);
    int tics = getBar(bar).getLength();
    long long end = static_cast<long long>(start) + tics;
    // Repeated addition, not start + k * step: positions follow the rounding of
    // the running sum.
    double step = static_cast<double>(tics) / static_cast<double>(pairs);
    double position = start;
    size_t visited = 0;
    for (;;) {
        long long at = static_cast<long long>(position);
        if (at >= end || at > INT_MAX) break;
        BmsWord word(objects[2 * visited], objects[2 * visited + 1]);
        if (!skipEmpty || word.differs("00")) lane->put(static_cast<int>(at), word);
        if (++visited >= pairs) break;
        position += step;
    }
    return 2 * visited;
}
