#pragma once
// A lock that one process of the user's session holds at a time, released when the
// process ends however it ends (an flock on a file in the runtime folder).
#include <QString>

namespace quelm::core {

class InstanceLock {
public:
    // Tries once, without waiting, to take the lock named `name`.
    explicit InstanceLock(const QString& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

} // namespace quelm::core
