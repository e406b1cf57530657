#pragma once
// Runs part of a test as an ordinary user, for whom permission bits count
// (root ignores them, and CI runs as root).
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

namespace kalvero::test {

// The exit code of RunAsOrdinaryUser's child when it could not become nobody
// or reach the tree as nobody: the test skips that part then.
constexpr int kNoOrdinaryUser = 125;

// Not root: fn runs here and its result is returned. Root: tree and
// everything in it are given to nobody (65534), and fn runs in a child
// process that has become nobody; the child's exit code is returned (-1 when
// it did not end normally). fn's result should stay below kNoOrdinaryUser.
inline int RunAsOrdinaryUser(const std::string& tree, const std::function<int()>& fn) {
  if (geteuid() != 0) return fn();
  constexpr uid_t kNobody = 65534;
  std::error_code ec;
  if (lchown(tree.c_str(), kNobody, kNobody) != 0) return kNoOrdinaryUser;
  for (auto it = std::filesystem::recursive_directory_iterator(tree, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (lchown(it->path().c_str(), kNobody, kNobody) != 0) return kNoOrdinaryUser;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    const bool dropped = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0 &&
                         access(tree.c_str(), W_OK | X_OK) == 0;
    const int code = dropped ? fn() : kNoOrdinaryUser;
    std::fflush(nullptr);  // the child's test output, which _exit would drop
    _exit(code);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace kalvero::test
