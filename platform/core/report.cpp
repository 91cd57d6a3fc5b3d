#include "platform/core/report.h"

#include <unistd.h>

#include <string>

namespace quelm::core {

void ReportError(std::string_view text) {
    std::string line = "quelm: ";
    line.append(text);
    line += '\n';
    for (size_t done = 0; done < line.size();) {
        const ssize_t n = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (n <= 0) return; // nothing more can be said
        done += size_t(n);
    }
}

} // namespace quelm::core
