// Request numbers: the counter row "Current_Requests" of table Counters holds
// the last number handed out.

#ifndef KIRVS_SRC_DATA_REQUEST_NUMBERS_H_
#define KIRVS_SRC_DATA_REQUEST_NUMBERS_H_

#include <cstdint>
#include <memory>

#include "platform/database.h"
#include "platform/status.h"

namespace kirvs {

// Draws the next request number on `db`: reads the counter (its leading
// number; a missing row is created, a null or empty counter reads as 0), adds
// 1, stores it and sets `*number`. Inside the caller's transaction when `db`
// has one (the number then stays drawn only if the caller commits), else in
// a transaction of its own. Because the read and the store are one write
// transaction, concurrent sessions and processes never get the same number.
// On failure (also when the next number would not fit 32 bits) nothing is
// drawn and `*number` is 0.
Status NextRequestNumber(const std::shared_ptr<Database>& db, int32_t* number);

}  // namespace kirvs

#endif  // KIRVS_SRC_DATA_REQUEST_NUMBERS_H_
