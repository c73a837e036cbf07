#pragma once
// The data-file calls under way, and the end of the program, which waits for a write in flight
// or works around a call the kernel keeps.

namespace datafile {

// A call under way, for as long as it lives. A read or save (kCall): a call the kernel may keep
// waiting (a network or FUSE folder whose server does not answer) holds the process with it. A
// write of a data file's records, or of its old bytes put back (kWrite): the program ends
// meanwhile only once it is done, and no write starts once the end was asked for.
class InFlight {
  public:
    enum Kind { kCall, kWrite };
    explicit InFlight(Kind kind);
    ~InFlight();
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;

  private:
    Kind kind_;
};

}  // namespace datafile

// Ends the process with `status` as soon as no data file is being written, so that every file
// holds its old or its new records, and lets no write start after it. Where any read or save is
// under way (a call the kernel may keep, holding the process), first calls `beforeWaiting`.
// Returns only while a write is in flight, on another thread or under a signal handler: that
// write then ends the process. Safe to call from a signal handler, as `beforeWaiting` must be.
void endWhenFilesAreSafe(int status, void (*beforeWaiting)() = nullptr);

// Whether the calling thread is writing a data file (a signal handler may have interrupted it).
bool writingOnThisThread();
