#pragma once
// One backup folder against its checksum list (the run's inner step).
#include <atomic>
#include <string>

#include "run/RunProgress.h"
#include "verify/VerifyResult.h"

namespace kalvero {

class WorkerPool;

struct FolderCheck {
  std::string folder;
  std::string sourceRoot;  // "" = no source comparison
  WorkerPool* pool = nullptr;  // null: everything on the calling thread
  const std::atomic<int>* cancel = nullptr;
  RunReporter* reporter = nullptr;
};

// Adds what it finds to totals and reports each line.
void VerifyFolder(const FolderCheck& check, VerifyTotals& totals);

}  // namespace kalvero
