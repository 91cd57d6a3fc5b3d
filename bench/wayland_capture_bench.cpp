// How long capturing the desktop of a Wayland session takes, each capture on a connection of
// its own as the show makes it: one line a capture, then the median. Measured with a steady
// clock around CaptureDesktop.
//
//   scripts/with-sway.sh BUILD/bench/wayland_capture_bench [RUNS]
#include "platform/wayland/desktop_capture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    using namespace std::chrono;
    constexpr auto kBound = milliseconds(3000);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = steady_clock::now();
        const auto capture = quelm::wayland::CaptureDesktop(kBound);
        times.push_back(duration<double, std::milli>(steady_clock::now() - start).count());
        if (capture.outputs.empty()) {
            std::fprintf(stderr, "no capture: %s\n", qPrintable(capture.failure));
            return 1;
        }
        const QImage& first = capture.outputs.front().image;
        std::printf("capture %2d: %6.1f ms  %s, %zu output(s), first %dx%d\n", i + 1, times.back(),
                    qPrintable(capture.route), capture.outputs.size(), first.width(), first.height());
    }
    std::sort(times.begin(), times.end());
    std::printf("median %.1f ms, fastest %.1f ms, slowest %.1f ms over %d captures\n", times[times.size() / 2],
                times.front(), times.back(), runs);
}
