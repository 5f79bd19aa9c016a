// Loading a chart's key sounds on all cores: the decoding runs ahead on worker threads while
// the converter takes the sounds in the chart's order, so that everything it reports (progress,
// questions, the failed file) comes as when they load one after the other.
#ifndef CONVERT_SAMPLE_LOADER_H_
#define CONVERT_SAMPLE_LOADER_H_

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LuWav;

// Reads one key sound into `sample`, a buffer fresh from construction: from `path`, its path as
// the chart writes it, or with extended samples from `found`, the file that the lookup found
// (empty for none), decoded as its content calls for. A sound that loads is then scaled to
// `volume` percent. With the sample's debug set it traces as it goes. False when the sound
// cannot be read; its volume is then left to the caller.
bool loadKeySound(LuWav* sample, const std::string& path, const std::string& found, bool extended,
                  int volume);

// Runs numbered loads on worker threads ahead of a caller that takes their results in order.
class OrderedLoader {
public:
    // Returns whether load number `index` succeeded; an exception counts as a failure.
    using Load = std::function<bool(int index)>;

    // Makes ready to run load(0) to load(count - 1), each once, on `workers` threads (0: one per
    // hardware thread). With one worker nothing runs ahead: each load runs on the calling
    // thread inside `wait`.
    OrderedLoader(int count, int workers, Load load);
    // Starts no further load and waits for those already running.
    ~OrderedLoader();
    OrderedLoader(const OrderedLoader&) = delete;
    OrderedLoader& operator=(const OrderedLoader&) = delete;

    // The result of load(index) once it is done; indexes are asked for in order from 0.
    bool wait(int index);

private:
    void work();
    bool run(int index);

    const int count;
    const Load load;
    std::mutex mutex;
    std::condition_variable finished;
    // Per load: 0 not done, 1 succeeded, 2 failed.
    std::vector<char> results;
    int next = 0;
    bool stopping = false;
    std::vector<std::thread> threads;
};

#endif  // CONVERT_SAMPLE_LOADER_H_
