#pragma once

#include <atomic>
#include <chrono>
#include <thread>

// A point-to-point wire with a fixed delay, made of two TUN devices: what one side's kernel
// sends into its device comes out of the other side's device `oneWay` later. It stands in
// for netem, which the kernel here lacks. Owns the two descriptors.
namespace testsupport {

class DelayLine {
public:
    DelayLine(int fdA, int fdB, std::chrono::microseconds oneWay);
    ~DelayLine();
    DelayLine(const DelayLine&) = delete;
    DelayLine& operator=(const DelayLine&) = delete;

    // A TUN device (no packet information header) named `name`; -1 with errno on failure.
    static int OpenTun(const char* name);

private:
    void Run();

    int fds_[2];
    int wake_[2] = {-1, -1};
    std::chrono::microseconds oneWay_;
    std::thread thread_;
};

} // namespace testsupport
