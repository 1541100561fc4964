// The server's clocks.
//
// CurrentMoment: the current date and time of the server, as a moment (days
// since 1899-12-30 in local time, to the second).
//
// SteadyClock: monotonic time for timeouts and delays (idle sessions, login
// throttling), and the current moment for what is shown relative to it (the
// age of a request). Code that waits on time or tells an age reads one it is
// given, so that tests can move and fix time by hand instead of sleeping.
//
// Thread-safe.

#ifndef KIRVS_SRC_PLATFORM_CLOCK_H_
#define KIRVS_SRC_PLATFORM_CLOCK_H_

#include <chrono>

namespace kirvs {

double CurrentMoment();

class SteadyClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~SteadyClock() = default;
  virtual TimePoint Now() const = 0;
  // The current date and time as a moment; the system's CurrentMoment().
  virtual double Moment() const;

  // The system's steady clock; lives as long as the program.
  static const SteadyClock& System();
};

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_CLOCK_H_
