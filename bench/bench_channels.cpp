// The channels at rest and at work: CPU used while every channel is idle (a serial
// pseudo-terminal open, a TCP client retrying an unreachable port, a TCP server
// listening, a file watched), then the serial and TCP hand-over latencies.
//
//   bench_channels [--idle-seconds N] [--trials N] [--all]   (--all: every trial)

#include <fcntl.h>
#include <sys/resource.h>
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
#include <cstdio>
#include <functional>
#include <vector>

#include "platform/DosPaths.h"
#include "channels/FileChannel.h"
#include "channels/SerialChannel.h"
#include "channels/TcpChannel.h"

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
    return ms;
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
    return int(serial.size()) == trials && int(tcp.size()) == trials ? 0 : 1;
}
