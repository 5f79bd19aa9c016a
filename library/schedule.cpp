#include "library/schedule.h"

bool LibraryQueue::StartsLater::operator()(const LibraryJob& a, const LibraryJob& b) const {
    if (!a.unpacked != !b.unpacked) return !a.unpacked;
    if (a.cost != b.cost) return a.cost < b.cost;
    return a.chart > b.chart;
}

bool LibraryQueue::pop(LibraryJob* job) {
    if (jobs.empty()) return false;
    *job = jobs.top();
    jobs.pop();
    return true;
}
