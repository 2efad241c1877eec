#pragma once
// A batch's progress on stderr: on a terminal, one live bar per running
// camera and a total line, redrawn in place; otherwise a plain line now and
// then, and one line per camera as it gets its outcome.

#include "batch/BatchRun.h"

#include <cstdio>
#include <vector>

namespace orvane::cli {

class FleetProgressView {
public:
    FleetProgressView(const char* verb, FILE* out);
    // Called every few hundred milliseconds, and once more at the end.
    void update(const batch::BatchRun& run, bool last = false);

private:
    void drawLive(const batch::BatchRun& run, const std::vector<batch::CameraProgress>& now);
    void writePlain(const batch::BatchRun& run, const std::vector<batch::CameraProgress>& now, bool last);
    void erase();

    const char* verb_;
    FILE* out_;
    bool terminal_;
    int linesDrawn_ = 0;
    std::vector<bool> told_;
    int ticks_ = 0;
};

}  // namespace orvane::cli
