#include "platform/JobScope.h"

namespace orvane {
namespace {
thread_local const JobScope* currentScope = nullptr;
}

ScopedJob::ScopedJob(const JobScope& scope) : previous_(currentScope), scope_(scope) { currentScope = &scope_; }

ScopedJob::~ScopedJob() { currentScope = previous_; }

const JobScope* CurrentJobScope() { return currentScope; }

}  // namespace orvane
