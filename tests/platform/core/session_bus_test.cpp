// The session bus address the program leaves to D-Bus's library: a set address and the
// user's bus are used; with neither, none that would launch a bus.
#include "platform/core/session_bus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// The address after the call, from `address` (nullptr: unset) with XDG_RUNTIME_DIR `runtime`.
std::string AddressAfter(const char* address, const fs::path& runtime) {
    if (address)
        setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
    else
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (runtime.empty())
        unsetenv("XDG_RUNTIME_DIR");
    else
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    quelm::core::UseOnlyARunningSessionBus();
    const char* after = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    return after ? after : "(unset)";
}

TEST(SessionBus, OnlyARunningBusIsLeftToBeUsed) {
    char folder[] = "/tmp/quelm-bus-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const fs::path withBus = fs::path(folder) / "with", withFile = fs::path(folder) / "file";
    fs::create_directories(withBus);
    fs::create_directories(withFile);
    std::ofstream(withFile / "bus") << "not a socket";
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    const std::string socketPath = (withBus / "bus").string();
    socketPath.copy(where.sun_path, sizeof where.sun_path - 1);
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);

    EXPECT_EQ(AddressAfter("unix:path=/run/x", withFile), "unix:path=/run/x");
    EXPECT_EQ(AddressAfter(nullptr, withBus), "(unset)") << "the user's bus, found by D-Bus's library";
    for (const fs::path& runtime : {withFile, fs::path(folder) / "missing", fs::path()})
        EXPECT_EQ(AddressAfter(nullptr, runtime), "disabled:") << runtime;
    EXPECT_EQ(AddressAfter("", fs::path()), "disabled:");
    close(listening);
    fs::remove_all(folder);
}

} // namespace
