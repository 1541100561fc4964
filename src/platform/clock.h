// The server's clocks.
//
// CurrentMoment: the current date and time of the server, as a moment (days
// since 1899-12-30 in local time, to the second).
//
// SteadyClock: the time of timeouts and delays (idle sessions, login
// throttling), and the current moment for what is shown relative to it (the
// age of a request). Code that waits on time or tells an age reads one it is
// given, so that tests can move and fix time by hand instead of sleeping.
// The system's clock tells the time since the Unix epoch: the web front's
// deadlines are stored in the help desk's database, where every node that
// serves it must read them alike (and a restarted node too).
//
// Thread-safe.

#ifndef KIRVS_SRC_PLATFORM_CLOCK_H_
#define KIRVS_SRC_PLATFORM_CLOCK_H_

#include <chrono>
#include <cstdint>

namespace kirvs {

double CurrentMoment();

class SteadyClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~SteadyClock() = default;
  virtual TimePoint Now() const = 0;
  // The current date and time as a moment; the system's CurrentMoment().
  virtual double Moment() const;

  // The system's clock; lives as long as the program.
  static const SteadyClock& System();
};

// A time of a SteadyClock as whole milliseconds, as the database keeps it.
inline int64_t ToMillis(SteadyClock::TimePoint time) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             time.time_since_epoch())
      .count();
}

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_CLOCK_H_
