// The module's statics whose load and unload order matters (ordered_statics.cpp).
#pragma once

#include <sessionctrl/ISessionCtrl.h>

#include <atomic>
#include <string>

namespace sessionctrl {

// Owns the one process-wide backend; deletes it at unload.
std::atomic<ISessionCtrl*>& BackendSlot();

namespace vmware {

// The display-protocol servers' image names once found; guarded by the environment lock.
std::wstring& PCoIPServerNameCache();
std::wstring& BlastServerNameCache();

}  // namespace vmware
}  // namespace sessionctrl
