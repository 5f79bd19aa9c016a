#include "convert/sample_loader.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "decode/extended_reader.h"
#include "wav/wav.h"

namespace {

constexpr char NOT_DONE = 0;
constexpr char SUCCEEDED = 1;
constexpr char FAILED = 2;

}  // namespace

bool loadKeySound(LuWav* sample, const std::string& path, const std::string& found, bool extended,
                  int volume) {
    if (sample->debug) std::printf("----wav open %s-------------------------\n", path.c_str());
    bool read = false;
    if (!extended) {
        read = sample->read(path.c_str());
    } else if (!found.empty()) {
        if (sample->debug && found != path) std::printf("found %s\n", found.c_str());
        read = LuReadExtended(found.c_str(), sample);
    }
    if (!read) {
        if (sample->debug) std::printf("WAV READ error => %s \n", path.c_str());
        return false;
    }
    sample->changeVolume(volume);
    return true;
}

OrderedLoader::OrderedLoader(int count, int workers, Load load)
    : count(count), load(std::move(load)), results(count > 0 ? count : 0, NOT_DONE) {
    if (workers <= 0) workers = static_cast<int>(std::thread::hardware_concurrency());
    if (workers > count) workers = count;
    if (workers <= 1) return;
    for (int i = 0; i < workers; ++i) {
        try {
            threads.emplace_back(&OrderedLoader::work, this);
        } catch (const std::system_error&) {
            // Fewer threads load the same, only more slowly; none at all leaves it to `wait`.
            break;
        }
    }
}

OrderedLoader::~OrderedLoader() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    for (std::thread& thread : threads) thread.join();
}

bool OrderedLoader::run(int index) {
    try {
        return load(index);
    } catch (...) {
        return false;
    }
}

void OrderedLoader::work() {
    for (;;) {
        int index;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping || next >= count) return;
            index = next++;
        }
        const char result = run(index) ? SUCCEEDED : FAILED;
        {
            std::lock_guard<std::mutex> lock(mutex);
            results[index] = result;
        }
        finished.notify_all();
    }
}

bool OrderedLoader::wait(int index) {
    if (index < 0 || index >= count) return false;
    if (threads.empty()) return run(index);
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [&] { return results[index] != NOT_DONE; });
    return results[index] == SUCCEEDED;
}
