// Tests of what a user may not do (read-only pages and folders, another
// user's files) on POSIX systems. Permissions do not bind root, who runs the
// tests in CI: there the part that must be refused runs in a child that has
// become the ordinary user "nobody", to whom the test gives its files.
#pragma once

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

/// The user an ordinary run takes when the tests run as root: "nobody".
inline constexpr uid_t OrdinaryUser = 65534;

/// Makes this process OrdinaryUser, for good; false when it cannot.
inline bool BecomeOrdinaryUser() {
  return ::setgroups(0, nullptr) == 0 && ::setgid(OrdinaryUser) == 0 &&
         ::setuid(OrdinaryUser) == 0;
}

/// Runs Check as an ordinary user: here when the tests do not run as root,
/// else in a child that has become OrdinaryUser (so Check must not need
/// threads of this process, such as a window's painting). Check returns
/// what went wrong, or an empty text; so does this.
inline std::string AsOrdinaryUser(const std::function<std::string()> &Check) {
  if (::geteuid() != 0)
    return Check();
  int Pipe[2];
  if (::pipe(Pipe) != 0)
    return "no pipe";
  const pid_t Child = ::fork();
  if (Child == 0) {
    ::close(Pipe[0]);
    const std::string Result = BecomeOrdinaryUser() ? Check() : "cannot become an ordinary user";
    (void)!::write(Pipe[1], Result.data(), Result.size());
    ::_exit(0);
  }
  ::close(Pipe[1]);
  std::string Result;
  char Chunk[512];
  for (ssize_t N; (N = ::read(Pipe[0], Chunk, sizeof Chunk)) > 0;)
    Result.append(Chunk, static_cast<size_t>(N));
  ::close(Pipe[0]);
  int Status = 0;
  ::waitpid(Child, &Status, 0);
  return WIFEXITED(Status) ? Result : Result + " (the check ended by a signal)";
}

/// Gives Path to OrdinaryUser when the tests run as root; throws when that
/// fails.
inline void GiveToOrdinaryUser(const std::string &Path) {
  if (::geteuid() == 0 && ::chown(Path.c_str(), OrdinaryUser, OrdinaryUser) != 0)
    throw std::runtime_error("cannot give " + Path + " away");
}

/// Lets OrdinaryUser through the folders above Path (the test's temporary
/// folders may be closed to others) when the tests run as root.
inline void LetOrdinaryUserThrough(const std::filesystem::path &Path) {
  if (::geteuid() != 0)
    return;
  for (std::filesystem::path Up = Path.parent_path(); Up.has_relative_path();
       Up = Up.parent_path()) {
    struct stat Info {};
    if (::stat(Up.c_str(), &Info) == 0 && !(Info.st_mode & S_IXOTH))
      ::chmod(Up.c_str(), (Info.st_mode & 07777) | 0011);
  }
}
