#include "platform/core/session_bus.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace quelm::core {
namespace {

constexpr const char* kAddressVariable = "DBUS_SESSION_BUS_ADDRESS";
constexpr const char* kNoBus = "disabled:";
constexpr const char* kUserBusSocket = "bus"; // in $XDG_RUNTIME_DIR, where D-Bus's library looks

bool Set(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

} // namespace

void UseOnlyARunningSessionBus() {
    if (Set(kAddressVariable)) return;
    std::error_code error;
    if (Set("XDG_RUNTIME_DIR") &&
        std::filesystem::is_socket(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / kUserBusSocket, error))
        return;
    setenv(kAddressVariable, kNoBus, 1);
}

} // namespace quelm::core
