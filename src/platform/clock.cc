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
  // Wall time, carried in the steady clock's type so that the options and
  // the tests keep one clock type.
  TimePoint Now() const override {
    return TimePoint(std::chrono::duration_cast<TimePoint::duration>(
        std::chrono::system_clock::now().time_since_epoch()));
  }
};

}  // namespace

const SteadyClock& SteadyClock::System() {
  static const SystemSteadyClock clock;
  return clock;
}

}  // namespace kirvs
