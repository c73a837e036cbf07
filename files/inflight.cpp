// Ending the program while data-file calls are under way: it waits for a write in flight, and no
// write starts once the end was asked for. Each side first says what it does, then looks at the
// other (both sequentially consistent), so that at least one of them sees the other.

#include "files/inflight.h"

#include <unistd.h>

#include <atomic>

using datafile::InFlight;

namespace {

std::atomic<int> inFlight[2];    // the calls and the writes under way, by their kind
std::atomic<int> endStatus{-1};  // the status the program ends with once no write is in flight
thread_local bool writing = false;

void endIfAsked() {
    if (const int status = endStatus; status >= 0) ::_exit(status);
}

}  // namespace

InFlight::InFlight(Kind kind) : kind_(kind) {
    if (kind == kWrite) writing = true;
    ++inFlight[kind];
    if (kind == kWrite) endIfAsked();
}

InFlight::~InFlight() {
    --inFlight[kind_];
    if (kind_ == kWrite) {
        writing = false;
        endIfAsked();
    }
}

void endWhenFilesAreSafe(int status, void (*beforeWaiting)()) {
    int first = -1;
    endStatus.compare_exchange_strong(first, status);  // the first end asked for holds
    status = endStatus;
    if (inFlight[InFlight::kCall] == 0) ::_exit(status);
    if (beforeWaiting) beforeWaiting();
    if (inFlight[InFlight::kWrite] == 0) ::_exit(status);
}

bool writingOnThisThread() {
    return writing;
}
