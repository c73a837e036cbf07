#pragma once
// Opening a data file's name safely: what the name leads to, looked at one name at a time, and
// the plain file there opened for real and locked. Private to files/.

#include "files/datafile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace datafile {

// A file descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Where a name leads: the plain file there opened for real, with the folder it lies in and its
// name in it; or what is there instead, and why it is not opened.
struct Opened {
    Fd linkedFolder;  // the folder a link led to, when not the game's
    int folder = -1;  // the folder the file lies in
    QByteArray name;
    Fd file;
    struct stat status {};
    DataFileRead::State state = DataFileRead::State::Read;
    bool absent = false;    // nothing at all of that name in the game's folder
    bool created = false;   // by this call, empty
    bool inTheWay = false;  // another program still held the lock, a lease, or swapped the file
    QString reason;
};

// Why the system refused to do `what` to a file, in its words: "cannot be written: Permission
// denied". Reasons never name the file.
QString cannot(const char* what, int error = errno);

// Opens `name` in `folder` if it leads to a plain file, for a read (its lock shared) or for a save
// (its lock for this call alone, the file created empty where nothing has that name); a folder,
// pipe, device, socket or a link leading nowhere is only looked at. Another program in the way is
// waited out until `deadline`; past it, a file whose lock another program holds, or that was
// swapped after it was locked, is left open with `inTheWay` and the reason.
Opened openPlainFile(int folder, const QByteArray& name, bool save,
                     std::chrono::steady_clock::time_point deadline);

// Whether the name in `opened` still leads to its open file, which still has a name; refreshes
// the file's status.
bool stillNamed(Opened& opened);

}  // namespace datafile
