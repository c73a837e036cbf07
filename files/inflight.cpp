// Ending the program while data-file calls are under way: it waits for a write in flight, and no
// write starts once the end was asked for. Each side first says what it does, then looks at the
// other (both sequentially consistent), so that at least one of them sees the other.

#include "files/inflight.h"

#include <unistd.h>

#include <atomic>

namespace {

std::atomic<int> inFlight[2];  // the calls and the writes under way, by their Flight
std::atomic<int>& callsInFlight = inFlight[0];
std::atomic<int>& writesInFlight = inFlight[1];
std::atomic<int> endStatus{-1};  // the status the program ends with once no write is in flight
thread_local bool writing = false;

void endIfAsked() {
    if (const int status = endStatus; status >= 0) ::_exit(status);
}

}  // namespace

namespace datafile {

template <Flight kind>
InFlight<kind>::InFlight() {
    if constexpr (kind == Flight::Write) writing = true;
    ++inFlight[int(kind)];
    if constexpr (kind == Flight::Write) endIfAsked();
}

template <Flight kind>
InFlight<kind>::~InFlight() {
    --inFlight[int(kind)];
    if constexpr (kind == Flight::Write) {
        writing = false;
        endIfAsked();
    }
}

template class InFlight<Flight::Call>;
template class InFlight<Flight::Write>;

}  // namespace datafile

void endWhenFilesAreSafe(int status, void (*beforeWaiting)()) {
    int first = -1;
    endStatus.compare_exchange_strong(first, status);  // the first end asked for holds
    status = endStatus;
    if (callsInFlight == 0) ::_exit(status);
    if (beforeWaiting) beforeWaiting();
    if (writesInFlight == 0) ::_exit(status);
}

bool writingOnThisThread() {
    return writing;
}
