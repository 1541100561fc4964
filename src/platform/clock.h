// The current date and time of the server, as a moment (days since
// 1899-12-30 in local time, to the second). Thread-safe.

#ifndef KIRVS_SRC_PLATFORM_CLOCK_H_
#define KIRVS_SRC_PLATFORM_CLOCK_H_

namespace kirvs {

double CurrentMoment();

}  // namespace kirvs

#endif  // KIRVS_SRC_PLATFORM_CLOCK_H_
