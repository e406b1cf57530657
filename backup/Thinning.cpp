#include "backup/Thinning.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace kalvero {

namespace {

// Days since 1970-01-01 of a calendar date; a day beyond the month's end
// simply counts on into the next month.
long DayNumber(int year, int month, int day) {
  using namespace std::chrono;
  const year_month_day date{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                            std::chrono::day{static_cast<unsigned>(day)}};
  return sys_days{date}.time_since_epoch().count();
}

// Year * 12 + month - 1 of a day number.
long MonthNumber(long dayNumber) {
  const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{dayNumber}}};
  return static_cast<int>(date.year()) * 12L + static_cast<unsigned>(date.month()) - 1;
}

// The Monday of the week of a day number.
long MondayOf(long dayNumber) {
  const std::chrono::weekday day{std::chrono::sys_days{std::chrono::days{dayNumber}}};
  return dayNumber - static_cast<long>(day.iso_encoding() - 1);
}

// Where the three windows of the rule begin, as day numbers.
struct Windows {
  long today = 0;
  long dayStart = 0;   // first day kept whole
  long weekAnchor = 0; // Monday of the newest week of the weekly window
  long weekStart = 0;  // first day of the weekly window
  long monthAnchor = 0;  // month number of the newest month of the monthly window
};

Windows WindowsOf(const platform::LocalTime& today, const ThinningRule& rule) {
  Windows w;
  w.today = DayNumber(today.year, today.month, today.day);
  w.dayStart = w.today - rule.days + 1;
  w.weekAnchor = MondayOf(w.dayStart - 1);
  w.weekStart = rule.weeks > 0 ? w.weekAnchor - 7L * (rule.weeks - 1) : w.dayStart;
  w.monthAnchor = MonthNumber(w.weekStart - 1);
  return w;
}

// The week or month a day belongs to (0 = the newest of its window), -1
// when it lies before both windows.
struct Bucket {
  KeepReason reason = KeepReason::Remove;
  long index = -1;
};

Bucket BucketOf(long day, const Windows& w, const ThinningRule& rule) {
  if (day >= w.weekStart) return {KeepReason::Week, (w.weekAnchor - MondayOf(day)) / 7};
  const long month = w.monthAnchor - MonthNumber(day);
  if (month < rule.months) return {KeepReason::Month, month};
  return {};
}

}  // namespace

ThinningRule ThinningRuleOf(const BackupOptions& options) {
  ThinningRule rule;
  rule.days = std::max(0, options.AusduennenTage);
  rule.weeks = std::max(0, options.AusduennenWochen);
  rule.months = std::max(0, options.AusduennenMonate);
  return rule;
}

std::vector<ThinningEntry> PlanThinning(const std::vector<DatedFolder>& folders, const platform::LocalTime& today,
                                        const ThinningRule& ruleIn) {
  ThinningRule rule{std::max(0, ruleIn.days), std::max(0, ruleIn.weeks), std::max(0, ruleIn.months)};
  std::vector<ThinningEntry> plan;
  for (const DatedFolder& f : folders) plan.push_back({f, rule.active() ? KeepReason::Remove : KeepReason::NoRule});
  if (!rule.active()) return plan;
  const Windows w = WindowsOf(today, rule);
  std::map<std::pair<KeepReason, long>, bool> taken;  // a week or month that has its state
  // Newest first, so each week and month keeps its newest complete state.
  std::vector<std::size_t> order(plan.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return plan[a].folder.name > plan[b].folder.name; });
  bool newestCompleteSeen = false;
  for (const std::size_t i : order) {
    ThinningEntry& e = plan[i];
    const long day = DayNumber(e.folder.year, e.folder.month, e.folder.day);
    if (day > w.today)
      e.reason = KeepReason::Future;  // a clock that was wrong: nothing to judge it by
    else if (day >= w.dayStart)
      e.reason = KeepReason::Day;
    else if (!e.folder.complete)
      e.reason = KeepReason::Incomplete;
    else if (const Bucket b = BucketOf(day, w, rule); b.index >= 0 && !taken[{b.reason, b.index}]) {
      taken[{b.reason, b.index}] = true;
      e.reason = b.reason;
    }
    if (e.folder.complete && !newestCompleteSeen && e.reason == KeepReason::Remove) e.reason = KeepReason::NewestComplete;
    if (e.folder.complete) newestCompleteSeen = true;
  }
  return plan;
}

}  // namespace kalvero
