// The order in which a library run starts its work: the charts of archives already unpacked
// first, so that unpacked packages never pile up in the temporary folder, then the costliest
// (library/render_cost.h), then the earliest in the plan, so that the longest renders do not
// start last and run alone at the end.
#ifndef LIBRARY_SCHEDULE_H_
#define LIBRARY_SCHEDULE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <queue>
#include <vector>

class UnpackedArchive;

// One piece of work for a worker: a task of the plan (a chart, a preview, or an archive to
// unpack), or one chart of an unpacked archive.
struct LibraryJob {
    // The task's index in the plan's tasks.
    size_t task = 0;
    // The chart's index in the plan's charts; for a task, that of its first chart.
    size_t chart = 0;
    // For a chart of an unpacked archive: the archive, which goes when its last job does.
    std::shared_ptr<UnpackedArchive> unpacked;
    int64_t cost = 0;
};

// The jobs waiting to start.
class LibraryQueue {
public:
    void push(LibraryJob job) { jobs.push(std::move(job)); }
    bool empty() const { return jobs.empty(); }
    // Takes the job to start next; false when none is waiting.
    bool pop(LibraryJob* job);

private:
    struct StartsLater {
        bool operator()(const LibraryJob& a, const LibraryJob& b) const;
    };
    std::priority_queue<LibraryJob, std::vector<LibraryJob>, StartsLater> jobs;
};

#endif  // LIBRARY_SCHEDULE_H_
