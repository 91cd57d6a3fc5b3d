#include "platform/d3d/device.h"

#include <cstdio>

namespace quelm::d3d {

std::string Describe(HResult hr) {
    switch (hr) {
    case kOk: return "The operation succeeded.";
    case kErrNotAvailable: return "The requested device type or display format is not available.";
    case kErrInvalidCall: return "The call is invalid: a parameter or the device's state is wrong.";
    case kErrOutOfVideoMemory: return "There is not enough display memory for the operation.";
    case kErrInvalidData: return "The file could not be read as a picture.";
    default: break;
    }
    char text[64];
    std::snprintf(text, sizeof text, "Unknown error 0x%08X.", static_cast<unsigned>(hr));
    return text;
}

} // namespace quelm::d3d
