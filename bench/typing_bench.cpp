// The typing benchmark's helper (run through bench/typing.sh):
//   typing_bench make ascii|accented|cp1252 SEED OUT.cp1252 OUT.utf8
//       writes one of the three benchmark texts, in Windows-1252 and in UTF-8
//   typing_bench type FILE.cp1252
//       types the file's text through SendKeys on $DISPLAY, waiting for the server
//   typing_bench type-wayland FILE.cp1252 [GAP_MICROSECONDS]
//       the same through the virtual keyboard on $WAYLAND_DISPLAY; with a gap, at
//       that pace instead of the device's own (to find the fastest safe one)
//   typing_bench type-desktop gnome|portal|kde FILE.cp1252 [INTERVAL_MICROSECONDS]
//       the same through GNOME's remote desktop, the desktop portal or KWin's fake
//       input on $WAYLAND_DISPLAY, with the user's own layout
//   typing_bench compare EXPECTED.utf8 RECEIVED.utf8
//       prints the number of lost, wrong, extra or moved characters (edit distance)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "keyboard/Cp1252.h"
#include "keyboard/KeyNotation.h"
#include "keyboard/wayland/DesktopInjectors.h"
#include "keyboard/wayland/WaylandKeyboardDevice.h"
#include "keyboard/x11/XTestKeyboardDevice.h"

namespace {

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const char* path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

std::u32string fromUtf8(const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        char32_t c = len == 1 ? b : b & (0xFF >> (len + 1));
        for (int k = 1; k < len && i + k < s.size(); ++k) c = (c << 6) | (s[i + k] & 0x3F);
        out.push_back(c);
        i += len;
    }
    return out;
}

std::string asciiText(std::mt19937& rng) {
    std::uniform_int_distribution<int> pick(0x20, 0x7E);
    std::string text;
    for (int i = 0; i < 10000; ++i) text.push_back(char(pick(rng)));
    return text;
}

// French, German and Spanish words; together they use 15 characters that the US
// layout lacks: é è à ù ç ü ö ä ß ñ á í ó ú €.
std::string accentedText(std::mt19937& rng) {
    static const char* const kWords[] = {"caf\xE9",
                                         "\xE9l\xE8ve",
                                         "tr\xE8s",
                                         "o\xF9",
                                         "d\xE9j\xE0",
                                         "fran\xE7"
                                         "ais",
                                         "gar\xE7on",
                                         "voil\xE0",
                                         "mode",
                                         "\xFC"
                                         "ber",
                                         "sch\xF6n",
                                         "Stra\xDF"
                                         "e",
                                         "M\xE4"
                                         "dchen",
                                         "gr\xFC\xDF"
                                         "e",
                                         "K\xE4se",
                                         "ma\xF1"
                                         "ana",
                                         "ni\xF1o",
                                         "a\xF1o",
                                         "est\xE1",
                                         "tambi\xE9n",
                                         "f\xE1"
                                         "cil",
                                         "d\xED"
                                         "a",
                                         "coraz\xF3n",
                                         "\xFA"
                                         "ltimo",
                                         "10\x80",
                                         "prix",
                                         "und",
                                         "el",
                                         "la",
                                         "das"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kWords) - 1);
    std::string text;
    while (text.size() < 1000) {
        if (!text.empty()) text.push_back(' ');
        text += kWords[pick(rng)];
    }
    text.resize(1000);
    if (text.back() == ' ') text.back() = '.';
    return text;
}

std::string everyCp1252(std::mt19937& rng) {
    std::string text;
    for (int c = 0x20; c <= 0xFF; ++c) {
        if (c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
        text.push_back(char(c));
    }
    std::shuffle(text.begin(), text.end(), rng);
    return text;
}

std::size_t editDistance(const std::u32string& a, const std::u32string& b) {
    std::vector<std::size_t> prev(b.size() + 1), cur(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        cur[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1])});
        }
        std::swap(prev, cur);
    }
    return prev[b.size()];
}

int make(const std::string& kind, unsigned seed, const char* cpOut, const char* utf8Out) {
    std::mt19937 rng(seed);
    std::string text;
    if (kind == "ascii") {
        text = asciiText(rng);
    } else if (kind == "accented") {
        text = accentedText(rng);
    } else if (kind == "cp1252") {
        text = everyCp1252(rng);
    } else {
        std::fprintf(stderr, "typing_bench: unknown text %s\n", kind.c_str());
        return 2;
    }
    writeFile(cpOut, text);
    writeFile(utf8Out, kest::cp1252ToUtf8(text));
    return 0;
}

int typeWith(kest::KeyboardDevice& device, const char* path) {
    const std::string text = readFile(path);
    const auto start = std::chrono::steady_clock::now();
    kest::SendKeys(kest::literalKeyNotation(text), true, device);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu chars in %.3f s\n", text.size(), took.count());
    return 0;
}

int type(const char* path) {
    kest::x11::XTestKeyboardDevice device;
    return typeWith(device, path);
}

int typeWayland(const char* path, const char* gap) {
    kest::wayland::DeviceTiming timing;
    if (gap) timing.gap = std::chrono::microseconds(std::stol(gap));
    kest::wayland::WaylandKeyboardDevice device(nullptr, timing);
    return typeWith(device, path);
}

int typeDesktop(const std::string& desktop, const char* path, const char* gap) {
    using namespace kest::wayland;
    SeatTiming timing = desktop == "kde" ? SeatTiming{} : gnomeTiming();
    if (gap) timing.interval = std::chrono::microseconds(std::stol(gap));
    InjectorFactory factory;
    if (desktop == "gnome") {
        factory = [](WaylandConnection&) { return std::make_unique<MutterRemoteDesktop>(); };
    } else if (desktop == "portal") {
        factory = [](WaylandConnection&) { return std::make_unique<PortalRemoteDesktop>(); };
    } else {
        factory = [](WaylandConnection& c) { return std::make_unique<KwinFakeInput>(c); };
    }
    SeatKeyboardDevice device(factory, nullptr, timing);
    return typeWith(device, path);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string mode = argc > 1 ? argv[1] : "";
        if (mode == "make" && argc == 6)
            return make(argv[2], unsigned(std::stoul(argv[3])), argv[4], argv[5]);
        if (mode == "type" && argc == 3) return type(argv[2]);
        if (mode == "type-wayland" && (argc == 3 || argc == 4))
            return typeWayland(argv[2], argc == 4 ? argv[3] : nullptr);
        if (mode == "type-desktop" && (argc == 4 || argc == 5))
            return typeDesktop(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
        if (mode == "compare" && argc == 4) {
            std::printf("%zu\n",
                        editDistance(fromUtf8(readFile(argv[2])), fromUtf8(readFile(argv[3]))));
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "typing_bench: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: typing_bench make|type|compare ...\n");
    return 2;
}
