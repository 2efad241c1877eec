#pragma once
// The one run loop of orvane-cli's batches (upgrade, assign-ips, apply):
// starts the batch, shows its progress every few hundred milliseconds,
// cancels it on the first Ctrl-C, and at the end tells on stderr what to do
// about each camera its path did not reach.

#include "batch/BatchRun.h"

#include <functional>

namespace orvane::cli {

constexpr int kExitInterrupted = 130;

// show(last) draws the progress; true when Ctrl-C stopped the batch.
bool RunBatchToTheEnd(batch::BatchRun& run, const std::function<void(bool last)>& show);

}  // namespace orvane::cli
