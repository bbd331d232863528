#include "export/atomic_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <streambuf>
#include <string_view>

#include "common/errors.h"

namespace km {
namespace {

// Stream buffer over a file descriptor that remembers the first failed
// write's errno, so that the error can name its reason.
class FdStreamBuf : public std::streambuf {
 public:
  explicit FdStreamBuf(int fd) : fd_(fd) { setp(buffer_, buffer_ + sizeof buffer_); }
  int error() const { return error_; }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n >= static_cast<std::streamsize>(sizeof buffer_)) {
      if (!Drain() || !WriteAll(s, static_cast<size_t>(n))) return 0;
      return n;
    }
    return std::streambuf::xsputn(s, n);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const size_t n = static_cast<size_t>(pptr() - pbase());
    setp(buffer_, buffer_ + sizeof buffer_);
    return WriteAll(buffer_, n);
  }
  bool WriteAll(const char* data, size_t n) {
    if (error_ != 0) return false;
    while (n > 0) {
      const ssize_t w = ::write(fd_, data, n);
      if (w < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return false;
      }
      data += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  int fd_;
  int error_ = 0;
  char buffer_[1 << 16];
};

[[noreturn]] void Fail(const std::string& path, int error) {
  throw FileError(path + ": " + std::strerror(error != 0 ? error : EIO));
}

// Removes the temporary file unless the save got as far as the rename.
struct TempFile {
  std::string path;
  int fd = -1;
  bool renamed = false;
  ~TempFile() {
    if (fd >= 0) ::close(fd);
    if (!renamed && !path.empty()) ::unlink(path.c_str());
  }
};

}  // namespace

void SaveFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
  // The temporary file lies next to the target, so the rename stays on
  // one file system; its name starts with the target's own name.
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  // A shortened name keeps the temporary name within the file name limit.
  const std::string name = (slash == std::string::npos ? path : path.substr(slash + 1)).substr(0, 160);

  TempFile temp;
  static unsigned counter = 0;
  for (int attempt = 0; temp.fd < 0; ++attempt) {
    std::string candidate =
        folder + "." + name + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    // 0666: the umask decides, as for any new file.
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      temp.fd = fd;
      temp.path = std::move(candidate);
    } else if (errno != EEXIST || attempt >= 100) {
      Fail(path, errno);
    }
  }

  struct stat existing;
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
    ::fchmod(temp.fd, existing.st_mode & 07777);

  FdStreamBuf buffer(temp.fd);
  std::ostream out(&buffer);
  write(out);
  out.flush();
  if (!out || buffer.error() != 0) Fail(path, buffer.error());
  if (::fsync(temp.fd) != 0) Fail(path, errno);
  const int fd = temp.fd;
  temp.fd = -1;
  if (::close(fd) != 0) Fail(path, errno);
  if (::rename(temp.path.c_str(), path.c_str()) != 0) Fail(path, errno);
  temp.renamed = true;
}

}  // namespace km
