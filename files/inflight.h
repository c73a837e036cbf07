#pragma once
// The data-file calls under way, which the end of the program waits for or works around.

namespace datafile {

// One read or save of a data file, for as long as it runs: a call the kernel may keep waiting
// (a network or FUSE folder whose server does not answer) holds the process with it.
class CallInFlight {
  public:
    CallInFlight();
    ~CallInFlight();
    CallInFlight(const CallInFlight&) = delete;
    CallInFlight& operator=(const CallInFlight&) = delete;
};

// One write of a data file's records, and of its old bytes where they must be put back: the
// program ends meanwhile only once it is done, and no write starts once the end was asked for.
class WriteInFlight {
  public:
    WriteInFlight();
    ~WriteInFlight();
    WriteInFlight(const WriteInFlight&) = delete;
    WriteInFlight& operator=(const WriteInFlight&) = delete;
};

}  // namespace datafile
