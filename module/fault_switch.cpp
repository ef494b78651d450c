#include "module/fault_switch.h"

#include <stdexcept>

namespace {
bool gStartupFaultRequested = false;
}

void QuilloryRequestStartupFault() {
    gStartupFaultRequested = true;
}

void ThrowIfStartupFaultRequested() {
    if (gStartupFaultRequested) {
        gStartupFaultRequested = false;
        throw std::runtime_error("requested start-up fault");
    }
}
