// The channels at rest and at work: CPU used while every channel is idle (a serial
// pseudo-terminal open, a TCP client retrying an unreachable port, a TCP server
// listening, a file watched), then the serial and TCP hand-over latencies, then a
// 100 MB TCP flood into a pipeline that types slower than the network delivers: every
// byte must arrive in order while memory stays bounded.
//
//   bench_channels [--idle-seconds N] [--trials N] [--all]   (--all: every trial)

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include "platform/DosPaths.h"
#include "channels/FileChannel.h"
#include "channels/SerialChannel.h"
#include "channels/TcpChannel.h"
#include "engine/Clock.h"
#include "engine/Pipeline.h"
#include "engine/PipelineHost.h"

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs the event loop until done() or the deadline; false on the deadline.
bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures {
    double median = 0;
    double worst = 0;
};

Figures summarize(std::vector<double> values) {
    if (values.empty()) return {};
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values.back()};
}

int argValue(const QStringList& args, const QString& name, int fallback) {
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

struct Rig {
    QProcess socat;
    int deviceFd = -1;
    kest::SerialChannel serial;
    kest::TcpChannel client;
    kest::TcpChannel server;
    kest::FileChannel file;
};

bool startRig(Rig& rig, const QString& home) {
    const QString base = kest::dos::baseDirectory();
    QDir().mkpath(base + "/dosdevices");
    const QString device = home + "/device";
    rig.socat.start("socat", {"pty,raw,echo=0,link=" + base + "/dosdevices/com1",
                              "pty,raw,echo=0,link=" + device});
    if (!rig.socat.waitForStarted(5000) ||
        !runUntil(
            [&] {
                return QFileInfo::exists(base + "/dosdevices/com1") && QFileInfo::exists(device);
            },
            5000)) {
        std::fprintf(stderr, "bench_channels: socat pseudo-terminal pair did not start\n");
        return false;
    }
    rig.deviceFd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
    rig.serial.setPortText("1");
    QTcpServer probe;  // a port nobody listens on: the client keeps retrying it
    probe.listen(QHostAddress::LocalHost, 0);
    const QString deadPort = QString::number(probe.serverPort());
    probe.close();
    rig.client.setAddress("127.0.0.1");
    rig.client.setPort(deadPort);
    rig.server.setPort("0");
    rig.server.setServerRole(true);
    QFile watched(home + "/watched.txt");
    watched.open(QIODevice::WriteOnly);
    watched.write("first line\r\n");
    watched.close();
    rig.file.setPath(watched.fileName());
    return rig.deviceFd >= 0 && rig.serial.isOpen() && rig.server.listeningPort() != 0;
}

std::vector<double> serialLatencies(Rig& rig, int trials) {
    std::vector<double> ms;
    QElapsedTimer clock;
    qint64 handedAt = -1;
    QObject::connect(&rig.serial, &kest::SerialChannel::textReceived, &rig.serial,
                     [&](const QByteArray&) { handedAt = clock.nsecsElapsed(); });
    clock.start();
    for (int i = 0; i < trials; ++i) {
        handedAt = -1;
        const QByteArray scan = "SCAN" + QByteArray::number(i) + "\r";
        if (::write(rig.deviceFd, scan.constData(), scan.size()) != scan.size()) break;
        const qint64 lastByteAt = clock.nsecsElapsed();
        if (!runUntil([&] { return handedAt >= 0; }, 2000)) break;
        ms.push_back(double(handedAt - lastByteAt) / 1e6);
        idleFor(20);
    }
    return ms;
}

std::vector<double> tcpLatencies(Rig& rig, int trials) {
    std::vector<double> ms;
    QTcpSocket peer;
    peer.connectToHost(QHostAddress::LocalHost, rig.server.listeningPort());
    if (!peer.waitForConnected(3000)) return ms;
    runUntil([&] { return rig.server.status() == "CONNECT"; }, 3000);
    QElapsedTimer clock;
    qint64 handedAt = -1;
    const auto handOvers =
        QObject::connect(&rig.server, &kest::TcpChannel::textReceived, &rig.server,
                         [&](const QByteArray&) { handedAt = clock.nsecsElapsed(); });
    clock.start();
    for (int i = 0; i < trials; ++i) {
        handedAt = -1;
        peer.write("ABC");
        peer.flush();
        const qint64 lastByteAt = clock.nsecsElapsed();
        if (!runUntil([&] { return handedAt >= 0; }, 2000)) break;
        ms.push_back(double(handedAt - lastByteAt) / 1e6);
        // Varied spacing, so that the data meets the 100 ms tick at every phase.
        idleFor(10 + (i * 37) % 100);
    }
    QObject::disconnect(handOvers);
    return ms;
}

constexpr long long kFloodBytes = 100LL * 1000 * 1000;

char floodByte(long long offset) {
    return char('a' + offset % 26);
}

// A pipeline host whose keyboard checks the order of what it is given and types at
// about 20 MB/s: slower than the loopback, so that the flood meets the bound.
class FloodHost : public kest::PipelineHost {
  public:
    long long received = 0;
    bool inOrder = true;

    std::vector<std::string> removeList() const override { return {}; }
    std::vector<std::string> searchTexts() const override { return {}; }
    std::vector<std::string> replaceTexts() const override { return {}; }
    std::string delayText() const override { return "0"; }
    std::string prefixText() const override { return {}; }
    std::string suffixText() const override { return {}; }
    std::string targetWindowText() const override { return {}; }
    bool serialOpen() const override { return false; }
    void serialWrite(const std::string&) override {}
    int tcpClientState() const override { return kest::kSocketClosed; }
    int tcpListenState() const override { return kest::kSocketClosed; }
    void tcpClientSend(const std::string&) override {}
    void tcpListenSend(const std::string&) override {}
    void activateWindow(const std::string&) override {}
    void handlePendingEvents() override { QCoreApplication::processEvents(); }
    void handleEventsFor(double) override { QCoreApplication::processEvents(); }
    std::size_t debugLineCount() const override { return 0; }
    void clearDebugLines() override {}
    void addDebugLine(const std::string&) override {}
    void sendToKeyboard(std::string keys, bool, std::size_t) override {
        for (char c : keys) inOrder = inOrder && c == floodByte(received++);
        std::this_thread::sleep_for(std::chrono::microseconds(keys.size() / 20));
    }
    void logFailure(const std::string& what) override {
        std::fprintf(stderr, "bench_channels: %s\n", what.c_str());
    }
};

// Sends kFloodBytes from a thread of its own with plain blocking writes, so that
// only TCP's flow control paces it.
void floodFromThread(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        std::vector<char> block(64 * 1024);
        for (long long sent = 0; sent < kFloodBytes;) {
            const long long n = std::min<long long>(block.size(), kFloodBytes - sent);
            for (long long i = 0; i < n; ++i) block[i] = floodByte(sent + i);
            const ssize_t written = ::write(fd, block.data(), n);
            if (written <= 0) break;
            sent += written;
        }
    }
    ::close(fd);
}

// Returns false when the flood did not arrive whole and in order.
bool tcpFlood(Rig& rig) {
    FloodHost host;
    kest::SystemClock clock;
    kest::Pipeline pipeline(host, clock);
    kest::PipelineRunner runner(pipeline);
    runner.onFullChanged([&](bool full) { rig.server.setReceivingPaused(full); });
    QObject::connect(&rig.server, &kest::TcpChannel::textReceived, &rig.server,
                     [&](const QByteArray& text) { runner.submit(text.toStdString()); });
    QElapsedTimer wall;
    wall.start();
    std::thread sender(floodFromThread, rig.server.listeningPort());
    const bool whole = runUntil([&] { return host.received >= kFloodBytes; }, 300000);
    const double seconds = wall.nsecsElapsed() / 1e9;
    sender.join();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("tcp flood: %.1f MB/s, peak rss %ld MiB\n", kFloodBytes / 1e6 / seconds,
                usage.ru_maxrss / 1024);
    if (!whole || !host.inOrder || host.received != kFloodBytes)
        std::printf("tcp flood: %lld of %lld bytes, %s\n", host.received, kFloodBytes,
                    host.inOrder ? "in order" : "OUT OF ORDER");
    std::fflush(stdout);
    return whole && host.inOrder && host.received == kFloodBytes;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int idleSeconds = argValue(args, "--idle-seconds", 30);
    const int trials = argValue(args, "--trials", 100);
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());

    Rig rig;
    if (!startRig(rig, home.path())) return 1;
    idleFor(1000);  // the file is processed once, the first retries happen

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    idleFor(idleSeconds * 1000);
    const double idlePercent = 100.0 * (cpuSeconds() - cpuBefore) / (wall.nsecsElapsed() / 1e9);
    std::printf("idle %d s: client status %s, server status %s, file status %s\n", idleSeconds,
                qPrintable(rig.client.status()), qPrintable(rig.server.status()),
                qPrintable(rig.file.status()));
    std::fflush(stdout);

    const std::vector<double> serial = serialLatencies(rig, trials);
    const std::vector<double> tcp = tcpLatencies(rig, trials);
    std::printf("serial trials %zu of %d, tcp trials %zu of %d\n", serial.size(), trials,
                tcp.size(), trials);
    if (args.contains("--all")) {
        for (double v : serial) std::printf("serial %.1f\n", v);
        for (double v : tcp) std::printf("tcp %.1f\n", v);
    }
    const Figures s = summarize(serial);
    const Figures t = summarize(tcp);
    const bool flooded = tcpFlood(rig);
    rig.client.close();
    rig.server.close();
    rig.serial.close();
    rig.socat.terminate();
    rig.socat.waitForFinished(3000);
    std::printf(
        "channels: idle cpu %.3f %%, serial latency median %.1f ms worst %.1f ms, "
        "tcp median %.1f ms worst %.1f ms\n",
        idlePercent, s.median, s.worst, t.median, t.worst);
    std::fflush(stdout);
    return int(serial.size()) == trials && int(tcp.size()) == trials && flooded ? 0 : 1;
}
