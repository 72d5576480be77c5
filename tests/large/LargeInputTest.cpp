// Inputs of the shapes that once took minutes: the work must grow in proportion to
// the input. Each case times the same shape at 1 MiB and at 2 MiB in one run and
// asks that doubling the input less than triples the time; absolute times depend on
// the machine and are printed by bench/bench_pipeline instead.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
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

constexpr std::size_t kMiB = 1024 * 1024;

double secondsFor(const std::function<void()>& work, int runs) {
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < runs; ++run) work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return took.count() / runs;
}

// Seconds per run: each sample repeats the work for a few tens of milliseconds, so a
// moment of load on a shared machine is spread thin, and the best of five samples is
// kept as the cost of the input.
double secondsPerRun(const std::function<void()>& work) {
    const double once = secondsFor(work, 1);
    const int runs = std::clamp(static_cast<int>(0.05 / std::max(once, 1e-6)), 1, 100);
    double best = once;
    for (int sample = 0; sample < 5; ++sample) best = std::min(best, secondsFor(work, runs));
    return best;
}

void expectLinear(const std::function<std::string(std::size_t)>& shape,
                  const std::function<void(const std::string&)>& process) {
    const std::string small = shape(kMiB);
    const std::string large = shape(2 * kMiB);
    const double smallSeconds = secondsPerRun([&] { process(small); });
    const double largeSeconds = secondsPerRun([&] { process(large); });
    EXPECT_LT(largeSeconds, 3 * smallSeconds)
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
