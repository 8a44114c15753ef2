#include "host/Object.h"

namespace strand::detail {

void registerHostClasses() {}

}  // namespace strand::detail
