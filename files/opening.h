#pragma once
// Opening a data file's name safely: what the name leads to, looked at one name at a time, and
// the plain file there opened for real. Private to files/.

#include "files/datafile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <utility>

namespace datafile {

using Clock = std::chrono::steady_clock;
constexpr auto kStep = std::chrono::milliseconds(10);  // between two tries at a lock or a lease

// A file descriptor, closed when it goes.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// Where a name leads: the plain file there opened for real, with the folder it lies in and its
// name in it; or what is there instead.
struct Opened {
    Fd linkedFolder;  // the folder a link led to, when not the game's
    int folder = -1;  // the folder the file lies in
    QByteArray name;
    Fd file;
    struct stat status {};
    DataFileRead::State state = DataFileRead::State::Read;
    bool absent = false;  // nothing at all of that name in the game's folder
    QString reason;
};

// Why the system refused to do `what` to a file, in its words: "cannot be written: Permission
// denied". Reasons never name the file.
QString cannot(const char* what, int error = errno);
// Why no file stayed: the name led to another file at every look.
inline const QString kReplaced = QStringLiteral("keeps being replaced");

// Opens `name` in `folder` with `access` if it leads to a plain file; a folder, pipe, device,
// socket or a link leading nowhere is only looked at. Another program's lease on the file, or the
// file swapped meanwhile, is waited out until `deadline`.
Opened openPlainFile(int folder, const QByteArray& name, int access, Clock::time_point deadline);

}  // namespace datafile
