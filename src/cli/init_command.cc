#include "cli/init_command.h"

#include <ostream>

namespace kirvs {

int RunInit(const InitOptions&, std::ostream&, std::ostream& errors) {
  errors << "kirvs init: not available yet\n";
  return 1;
}

}  // namespace kirvs
