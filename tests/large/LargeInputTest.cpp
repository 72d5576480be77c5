// Inputs of the shapes that once took minutes: the work must grow in proportion to
// the input. Each case times the same shape at 128 KiB and at 1 MiB and asks that eight
// times the input take well under 64 times (quadratic) the time: the bound sits about as
// far above 8 times (linear) as below 64. Absolute times depend on the machine and are
// printed by bench/bench_pipeline instead.

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <functional>
#include <string>

#include "engine/Pipeline.h"
#include "keyboard/ApiKbII.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/RecordingKeyboardDevice.h"
#include "large/Shapes.h"
#include "support/FakeClock.h"
#include "support/RecordingPipelineHost.h"

namespace kest {
namespace {

constexpr std::size_t kSmall = 128 * 1024;
constexpr double kBound = 22;  // sqrt(8 * 64)

// The thread's own processor time: other programs on a loaded machine do not count.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double secondsFor(const std::function<void()>& work, int runs) {
    const double start = threadSeconds();
    for (int run = 0; run < runs; ++run) work();
    return (threadSeconds() - start) / runs;
}

// Small and large samples alternate, so a slow spell (a cold cache, a busy memory bus)
// meets both sizes; the best of five samples is kept for each. Every sample repeats its
// work for some tens of milliseconds.
void expectLinear(const std::function<std::string(std::size_t)>& shape,
                  const std::function<void(const std::string&)>& process) {
    const std::string small = shape(kSmall);
    const std::string large = shape(8 * kSmall);
    const auto runsFor = [](double once) {
        return std::clamp(static_cast<int>(0.03 / std::max(once, 1e-6)), 1, 100);
    };
    const int smallRuns = runsFor(secondsFor([&] { process(small); }, 1));
    const int largeRuns = runsFor(secondsFor([&] { process(large); }, 1));
    double smallSeconds = 1e9;
    double largeSeconds = 1e9;
    for (int sample = 0; sample < 5; ++sample) {
        smallSeconds = std::min(smallSeconds, secondsFor([&] { process(small); }, smallRuns));
        largeSeconds = std::min(largeSeconds, secondsFor([&] { process(large); }, largeRuns));
    }
    EXPECT_LT(largeSeconds, kBound * smallSeconds)
        << small.size() << " bytes: " << smallSeconds << " s, " << large.size()
        << " bytes: " << largeSeconds << " s";
}

void processData(const std::string& input) {
    test::RecordingPipelineHost host;
    test::FakeClock clock;
    host.delay = "0";
    Pipeline pipeline(host, clock);
    std::string text = input;
    pipeline.PROCESS_DATA(text);
    ASSERT_TRUE(host.failures.empty()) << host.failures.front();
}

void sendKeys(const std::string& keys) {
    RecordingKeyboardDevice device;
    SendKeys(keys, true, device);
    ASSERT_TRUE(device.keysDown().empty());
}

void apiSendKeys(const std::string& input) {
    RecordingKeyboardDevice device;
    test::FakeClock clock;
    std::string keys = input;
    API_SEND_KEYS(keys, device, clock);
    ASSERT_TRUE(device.keysDown().empty());
}

TEST(LargeInput, ALongDatePatternTakesTimeInProportion) {
    expectLinear(shapes::longDatePattern, processData);
}

TEST(LargeInput, DenseMacrosTakeTimeInProportion) {
    expectLinear(shapes::denseMacros, processData);
}

TEST(LargeInput, DeepGroupsTakeTimeInProportion) {
    expectLinear(shapes::deepGroups, sendKeys);
}

TEST(LargeInput, ManyHoldsTakeTimeInProportion) {
    expectLinear(shapes::manyHolds, apiSendKeys);
}

TEST(LargeInput, PlainTextIsTypedWholeInProportion) {
    expectLinear(shapes::plainText, sendKeys);
}

}  // namespace
}  // namespace kest
