#include "bms/repairs.h"

void BmsRepairs::note(BmsRepairKind kind, int line) {
    for (Entry& entry : entries) {
        if (entry.kind != kind) continue;
        ++entry.count;
        if (static_cast<int>(entry.lines.size()) < LINES_KEPT) entry.lines.push_back(line);
        return;
    }
    entries.push_back({kind, 1, {line}});
}
