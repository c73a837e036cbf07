#pragma once
// The data-file calls under way, which the end of the program waits for or works around.

namespace datafile {

// A call under way, for as long as it lives. A read or save (Call): a call the kernel may keep
// waiting (a network or FUSE folder whose server does not answer) holds the process with it. A
// write of a data file's records, or of its old bytes put back (Write): the program ends meanwhile
// only once it is done, and no write starts once the end was asked for.
enum class Flight { Call, Write };
template <Flight kind>
class InFlight {
  public:
    InFlight();
    ~InFlight();
    InFlight(const InFlight&) = delete;
    InFlight& operator=(const InFlight&) = delete;
};
using CallInFlight = InFlight<Flight::Call>;
using WriteInFlight = InFlight<Flight::Write>;

}  // namespace datafile
