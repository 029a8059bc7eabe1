// Placeholder until the VMware backend lands.
#include "backend_arms.h"

namespace sessionctrl {
ISessionCtrl* CreateVMwareBackend() { return nullptr; }
}  // namespace sessionctrl
