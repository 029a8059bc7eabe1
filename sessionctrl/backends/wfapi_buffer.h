// A block handed out by wfapi.dll, given back with IWFFreeMemory when the owner goes
// out of scope, also while an exception passes.
#pragma once

#include "wfapi_dll.h"

namespace sessionctrl {

template <class T>
class WfapiBuffer {
public:
    explicit WfapiBuffer(WFAPIDll& loader) : loader_(loader) {}
    ~WfapiBuffer() {
        if (buffer_ != nullptr) loader_.IWFFreeMemory(buffer_);
    }
    WfapiBuffer(const WfapiBuffer&) = delete;
    WfapiBuffer& operator=(const WfapiBuffer&) = delete;

    // Out parameter for a wrapper; the buffer starts null.
    T** Receive() { return &buffer_; }
    T* Get() const { return buffer_; }

private:
    WFAPIDll& loader_;
    T* buffer_ = nullptr;
};

}  // namespace sessionctrl
