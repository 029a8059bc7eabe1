// Placeholder until the Citrix backend lands.
#include "backend_arms.h"

namespace sessionctrl {
bool EnsureCitrixBackend() { return false; }
}  // namespace sessionctrl
