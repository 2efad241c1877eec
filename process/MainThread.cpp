#include "process/MainThread.h"

#include <pthread.h>

#include <cstdio>
#include <cstdlib>

namespace orvane {
namespace {

// A plain value without a constructor of its own: a C++ initialiser would run
// after the loader's constructor below and wipe what it noted.
pthread_t g_mainThread;

// Run by the loader before any constructor of ours and before main(), so
// on the thread that runs main(), whoever asks first later.
__attribute__((constructor(101))) void NoteMainThread() { g_mainThread = pthread_self(); }

}  // namespace

bool OnMainThread() { return pthread_equal(pthread_self(), g_mainThread) != 0; }

void RequireMainThread(const char* what)
{
    if (OnMainThread())
        return;
    std::fprintf(stderr, "orvane: %s off the user-interface thread\n", what);
    std::abort();
}

}  // namespace orvane
