// `kirvs run`: runs a list of RunCommand calls, given as JSON, on one
// session object, and prints each call's result and the session's properties
// afterwards as JSON.
//
// Input:  {"calls": [{"command": TEXT|null, "params": [P1, P2, P3]}, ...]}
//         where each parameter (all optional) is a JSON string (text), a
//         number (an integer when whole and in 32-bit range, else a double),
//         true/false, null, {"date": "YYYY-MM-DD HH:MM:SS"} or
//         {"form": [[NAME, VALUE], ...]} (a submitted form, fields in order).
// Output: {"results": [{"result": BOOL, "CommandString": ...,
//          "CommandParam1": ..., "CommandParam2": ..., "CommandParam3": ...,
//          "HTMLString": ..., "ErrorDescription": ..., "UserId": ...,
//          "PersonnelName": ..., "RequestNo": 0}, ...]}
//         with the parameters as RunCommand left them, in the input's
//         notation (an empty parameter as {"empty": true}).
// Exit codes: 0 when every call ran; 2 when the input is not JSON of that
// shape (nothing runs then).

#ifndef KIRVS_SRC_CLI_RUN_COMMAND_H_
#define KIRVS_SRC_CLI_RUN_COMMAND_H_

#include <iosfwd>
#include <string>

namespace kirvs {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

int RunCalls(std::istream& input, std::ostream& output, std::ostream& errors,
             const std::string& settings_path);

}  // namespace kirvs

#endif  // KIRVS_SRC_CLI_RUN_COMMAND_H_
