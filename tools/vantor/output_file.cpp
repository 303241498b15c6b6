#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "stop_signals.h"

namespace vantor::tool {

namespace {

// A WAV of many minutes goes out in few system calls, from a buffer that stays in the
// processor's cache: a larger one costs more in page faults and cache misses than the
// calls it saves.
constexpr std::size_t writeBytes = std::size_t{1} << 18;
// Room for the temporary name beside a name of up to NAME_MAX bytes.
constexpr std::size_t keptNameBytes = 200;

// The temporary file of the output, for the stop signal handler. It is set and
// cleared only while the stop signals are held, so the handler never sees it half
// written, nor a name already renamed over the target.
char pendingTemporary[PATH_MAX];
volatile sig_atomic_t temporaryPending = 0;

void removeTemporaryAndExit(int signal) {
  if (temporaryPending != 0) unlink(pendingTemporary);
  _exit(128 + signal);
}

std::string errorText(int error) { return std::strerror(error); }

// The file that path leads to: path itself, or where the symbolic link at it leads.
bool followLink(const std::string& path, std::string& target, std::string& error) {
  struct stat link;
  if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) {
    target = path;
    return true;
  }
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    error = errno == ENOENT ? "it is a symbolic link that leads nowhere" : errorText(errno);
    return false;
  }
  target = resolved;
  std::free(resolved);
  return true;
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& path) {
  discard();
  error_.clear();
  pending_.reserve(writeBytes);
  catchStopSignals(removeTemporaryAndExit);
  // A file-size limit then fails the write that reaches it, which removes the
  // temporary file, instead of ending the tool with SIGXFSZ and leaving it behind.
  signal(SIGXFSZ, SIG_IGN);
  if (path == standardOutputPath) return openStraightThrough(path);
  std::string target;
  if (!followLink(path, target, error_)) return false;
  struct stat existing;
  if (stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) return openStraightThrough(target);
  return openReplacement(target);
}

bool OutputFile::openStraightThrough(const std::string& target) {
  target_ = target;
  if (target == standardOutputPath) {
    descriptor_ = STDOUT_FILENO;
    ownsDescriptor_ = false;
    return true;
  }
  descriptor_ = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (descriptor_ < 0) return fail(errorText(errno));
  ownsDescriptor_ = true;
  return true;
}

bool OutputFile::openReplacement(const std::string& target) {
  target_ = target;
  std::filesystem::path targetPath(target);
  std::string name = targetPath.filename().string().substr(0, keptNameBytes);
  std::string pattern = (targetPath.parent_path() / ("." + name + ".XXXXXX")).string();
  if (pattern.size() >= sizeof pendingTemporary) return fail("its path is too long");
  struct stat replaced;
  bool replacing = stat(target.c_str(), &replaced) == 0;
  // A file the user may not write is not replaced either.
  if (replacing && access(target.c_str(), W_OK) != 0) return fail(errorText(errno));
  {
    StopSignalsHeld held;
    descriptor_ = mkostemp(pattern.data(), O_CLOEXEC);
    if (descriptor_ < 0) return fail("cannot create a new file beside it: " + errorText(errno));
    std::memcpy(pendingTemporary, pattern.c_str(), pattern.size() + 1);
    temporaryPending = 1;
  }
  temporary_ = pattern;
  ownsDescriptor_ = true;
  // The new file takes the place of the old one with its owner and permissions, or
  // with those of any file the user creates. Only root may give a file away.
  if (replacing) {
    [[maybe_unused]] int givenAway = fchown(descriptor_, replaced.st_uid, replaced.st_gid);
    fchmod(descriptor_, replaced.st_mode & 07777);
  } else {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor_, 0666 & ~mask);
  }
  return true;
}

bool OutputFile::write(const void* bytes, std::size_t count) {
  if (descriptor_ < 0) return false;
  const auto* data = static_cast<const uint8_t*>(bytes);
  if (pending_.size() + count > writeBytes) {
    if (!writeOut(pending_.data(), pending_.size())) return false;
    pending_.clear();
  }
  if (count >= writeBytes) return writeOut(data, count);
  pending_.insert(pending_.end(), data, data + count);
  return true;
}

bool OutputFile::writeOut(const uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    ssize_t written = ::write(descriptor_, bytes, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return fail(errorText(written < 0 ? errno : ENOSPC));
    bytes += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::commit() {
  if (descriptor_ < 0) return false;
  if (!writeOut(pending_.data(), pending_.size())) return false;
  pending_.clear();
  if (temporary_.empty()) {
    int descriptor = descriptor_;
    descriptor_ = -1;
    if (ownsDescriptor_ && ::close(descriptor) != 0) return fail(errorText(errno));
    return true;
  }
  // On disk before the rename, so that no crash leaves an empty file in the old one's place.
  if (fsync(descriptor_) != 0 && errno != EINVAL) return fail(errorText(errno));
  int descriptor = descriptor_;
  descriptor_ = -1;
  if (::close(descriptor) != 0) return fail(errorText(errno));
  StopSignalsHeld held;
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) return fail(errorText(errno));
  temporaryPending = 0;
  temporary_.clear();
  return true;
}

void OutputFile::discard() {
  if (descriptor_ >= 0 && ownsDescriptor_) ::close(descriptor_);
  descriptor_ = -1;
  pending_.clear();
  if (temporary_.empty()) return;
  StopSignalsHeld held;
  unlink(temporary_.c_str());
  temporaryPending = 0;
  temporary_.clear();
}

bool OutputFile::fail(const std::string& reason) {
  error_ = reason;
  discard();
  return false;
}

}  // namespace vantor::tool
