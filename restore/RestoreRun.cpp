#include "restore/RestoreRun.h"

namespace kalvero {

struct RestoreRun::State {
  RestoreRunSetup setup;
  ProgressInfo progress;
  RestoreTotals totals;
};

RestoreRun::RestoreRun(RestoreRunSetup setup) : state_(std::make_unique<State>()) {
  state_->setup = std::move(setup);
}
RestoreRun::~RestoreRun() = default;

void RestoreRun::run() {}
int RestoreRun::errors() const { return state_->totals.errors; }
bool RestoreRun::cancelled() const { return state_->totals.cancelled; }
RestoreTotals RestoreRun::totals() const { return state_->totals; }
const ProgressInfo& RestoreRun::progress() const { return state_->progress; }

RestoreValidation ValidateRestoreOptions(const RestoreOptions&) { return {}; }

}  // namespace kalvero
