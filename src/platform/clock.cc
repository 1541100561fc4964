#include "platform/clock.h"

#include <ctime>

#include "platform/text_forms.h"

namespace kirvs {

double CurrentMoment() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  CivilTime t;
  t.year = local.tm_year + 1900;
  t.month = local.tm_mon + 1;
  t.day = local.tm_mday;
  t.hour = local.tm_hour;
  t.minute = local.tm_min;
  t.second = local.tm_sec;
  return MomentFromCivil(t);
}

double SteadyClock::Moment() const { return CurrentMoment(); }

namespace {

class SystemSteadyClock : public SteadyClock {
 public:
  TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace

const SteadyClock& SteadyClock::System() {
  static const SystemSteadyClock clock;
  return clock;
}

}  // namespace kirvs
