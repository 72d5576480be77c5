// PROCESS_DATA on large texts with a host that does nothing: the cost of the
// translation itself (remove list, rules, macro rounds, split), without typing; and
// the key notation parser and the API player on the shapes that stress them, with a
// device that takes every event at once. Each case runs at 1 and 4 MiB: the 4 MiB
// figure should be about four times the 1 MiB one.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "engine/Clock.h"
#include "engine/Pipeline.h"
#include "engine/PipelineHost.h"
#include "keyboard/ApiKbII.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/KeyboardDevice.h"
#include "large/Shapes.h"

namespace {

class NullDevice : public kest::KeyboardDevice {
  public:
    void keybdEvent(std::uint8_t vk, std::uint32_t) override { benchmark::DoNotOptimize(vk); }
    void typeCharacter(unsigned char c) override { benchmark::DoNotOptimize(c); }
    void sync() override {}
};

// Time stands still and pauses return at once: the player's cost without its waits.
class NoWaitClock : public kest::Clock {
  public:
    kest::LocalDateTime now() const override { return {}; }
    double secondsSinceMidnight() const override { return 0; }
    void sleepFor(double) override {}
    const kest::DateNames& dateNames() const override { return names_; }

  private:
    kest::DateNames names_ = kest::englishDateNames();
};

class NullHost : public kest::PipelineHost {
  public:
    std::vector<std::string> remove, search, replace;
    std::vector<std::string> removeList() const override { return remove; }
    std::vector<std::string> searchTexts() const override { return search; }
    std::vector<std::string> replaceTexts() const override { return replace; }
    std::string delayText() const override { return "0"; }
    std::string prefixText() const override { return ""; }
    std::string suffixText() const override { return ""; }
    std::string targetWindowText() const override { return ""; }
    bool serialOpen() const override { return true; }
    void serialWrite(const std::string&) override {}
    int tcpClientState() const override { return kest::kSocketConnected; }
    int tcpListenState() const override { return kest::kSocketClosed; }
    void tcpClientSend(const std::string& data) override { benchmark::DoNotOptimize(data.data()); }
    void tcpListenSend(const std::string&) override {}
    void activateWindow(const std::string&) override {}
    void handlePendingEvents() override {}
    void handleEventsFor(double) override {}
    std::size_t debugLineCount() const override { return 0; }
    void clearDebugLines() override {}
    void addDebugLine(const std::string&) override {}
    void sendToKeyboard(std::string keys, bool, std::size_t) override {
        if (typeKeys) {
            kest::SendKeys(keys, true, device);
        } else {
            benchmark::DoNotOptimize(keys.data());
        }
    }
    bool typeKeys = false;  // through SendKeys to a device that takes every event
    NullDevice device;
    void logFailure(const std::string&) override {}
};

constexpr std::size_t kMiB = 1024 * 1024;

std::string repeated(const std::string& unit, std::size_t bytes) {
    std::string text;
    text.reserve(bytes + unit.size());
    while (text.size() + unit.size() <= bytes) text += unit;
    return text;
}

// Words of printable text with a sprinkling of control characters (for the remove
// list) and of the rules' search texts; no caret, so the body is one piece.
std::string ordinaryText(std::size_t bytes) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> length(1, 9);
    std::uniform_int_distribution<int> control(0, 40);
    std::string text;
    text.reserve(bytes);
    while (text.size() < bytes) {
        for (int n = length(rng); n > 0; --n) text += static_cast<char>(letter(rng));
        const int c = control(rng);
        text += c < 20 ? static_cast<char>(c) : ' ';
    }
    text.resize(bytes);
    for (int k = 0; k < 100; k += 3)
        text.replace(bytes / 100 * k, 8, "key" + std::to_string(100 + k) + "#");
    return text;
}

void runPipeline(benchmark::State& state, NullHost& host, const std::string& input) {
    kest::SystemClock clock;
    kest::Pipeline pipeline(host, clock);
    for (auto _ : state) {
        std::string text = input;
        pipeline.PROCESS_DATA(text);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(input.size()));
}

std::size_t bytesOf(const benchmark::State& state) {
    return static_cast<std::size_t>(state.range(0)) * kMiB;
}

void BM_OrdinaryText(benchmark::State& state) {
    NullHost host;
    for (int code = 0; code < 20; ++code) host.remove.push_back(std::to_string(code));
    for (int k = 0; k < 100; ++k) {
        host.search.push_back("key" + std::to_string(100 + k) + "{ASCII:35}");
        host.replace.push_back("{TAB}" + std::to_string(k) + "{ENTER}");
    }
    runPipeline(state, host, ordinaryText(bytesOf(state)));
}

void BM_DenseMacros(benchmark::State& state) {
    NullHost host;
    runPipeline(state, host, kest::shapes::denseMacros(bytesOf(state)));
}

void BM_AsciiMacros(benchmark::State& state) {
    NullHost host;
    runPipeline(state, host, repeated("{ASCII:65}", bytesOf(state)));
}

void BM_TcpSendBacks(benchmark::State& state) {
    NullHost host;
    runPipeline(state, host, repeated("{TX_TCP[x]}", bytesOf(state)));
}

void BM_LongDatePattern(benchmark::State& state) {
    NullHost host;
    runPipeline(state, host, kest::shapes::longDatePattern(bytesOf(state)));
}

// The whole way from received text to key events, for text with no caret: one piece.
void BM_PlainTextTyped(benchmark::State& state) {
    NullHost host;
    host.typeKeys = true;
    runPipeline(state, host, kest::shapes::plainText(bytesOf(state)));
}

void BM_DeepGroups(benchmark::State& state) {
    const std::string keys = kest::shapes::deepGroups(bytesOf(state));
    NullDevice device;
    for (auto _ : state) kest::SendKeys(keys, true, device);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * keys.size()));
}

void BM_ManyHolds(benchmark::State& state) {
    const std::string input = kest::shapes::manyHolds(bytesOf(state));
    NullDevice device;
    NoWaitClock clock;
    for (auto _ : state) {
        std::string keys = input;
        kest::API_SEND_KEYS(keys, device, clock);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

}  // namespace

BENCHMARK(BM_OrdinaryText)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DenseMacros)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AsciiMacros)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TcpSendBacks)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LongDatePattern)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeepGroups)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyHolds)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTextTyped)->Arg(1)->Arg(4)->Arg(10)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
