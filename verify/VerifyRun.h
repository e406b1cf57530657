#pragma once
// The check of backups against their checksum lists, the same for the
// window and kalvero-cli verify: each backup folder's list read, the folder
// walked, every file hashed on all cores, our archives inflated, and with
// the source comparison each source file whose size and time match its copy
// read as well. Nothing is written anywhere. Findings go to the reporter as
// lines in the order of the walk, each bad file once; the totals come back.
#include <atomic>
#include <string>
#include <vector>

#include "run/RunProgress.h"
#include "verify/VerifyResult.h"
#include "verify/VerifyTargets.h"

namespace kalvero {

struct VerifyInput {
  std::vector<VerifyTarget> targets;
  bool withSource = false;
  std::atomic<int>* cancel = nullptr;  // set by the front end (Ctrl-C, "Abbrechen")
  RunReporter* reporter = nullptr;     // may be null
};

// Runs the whole check on the calling thread (the hashing on the workers).
// A destination another run holds means nothing is checked: busyLine says so.
VerifyTotals RunVerify(const VerifyInput& input);

// "2.013": a count as the German texts write it.
std::string GroupedNumber(long long n);

}  // namespace kalvero
