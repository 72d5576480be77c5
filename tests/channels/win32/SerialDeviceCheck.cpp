// A check of the Windows serial device under Wine, driven by the Wine end-to-end tests,
// which link the port to a pseudo-terminal and play the device. Modes:
//   echo <device> <count>   sends every byte back as it comes (the test compares), up
//                           to <count> bytes, then closes the port within 3 s
//   device <device> <none>  a port that is not there (<none>) is not present, and its
//                           open fails saying why; on <device> baud rates, stop bits,
//                           handshaking and lines are taken ("refusals 0"), then,
//                           when the device vanishes, exactly one loss is said and
//                           the port is no longer present
// Every open runs on a thread of its own: it must return before the port is open.
// Its lines are the test's log; the exit code is 0 when the check passed.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "channels/SerialDevice.h"

namespace {

using kest::SerialDevice;

void say(const QString& line) {
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

int runEcho(SerialDevice& device, qint64 count) {
    qint64 received = 0;
    QObject::connect(&device, &SerialDevice::dataArrived, [&] {
        const QByteArray data = device.readAll();
        received += data.size();
        const QString refused = device.write(data);
        if (!refused.isEmpty()) say(QStringLiteral("write refused: ") + refused);
        if (received >= count) QCoreApplication::exit(0);
    });
    QObject::connect(&device, &SerialDevice::deviceLost, [](const QString& why) {
        say(QStringLiteral("lost ") + why);
        QCoreApplication::exit(1);
    });
    if (QCoreApplication::exec() != 0) return 1;
    say(QStringLiteral("received %1").arg(received));
    // The last echo leaves through the worker; give it a moment before closing, which
    // drops what has not been sent.
    QTimer::singleShot(500, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    QElapsedTimer closing;
    closing.start();
    device.close();
    const qint64 closeMs = closing.elapsed();
    say(QStringLiteral("closed in %1 ms").arg(closeMs));
    // Without cancelling its read the worker would wait out the read's own timeout.
    return received == count && closeMs < 3000 ? 0 : 1;
}

// The open goes to a thread of its own: it returns at once, before the port is open,
// and the outcome comes as a signal. Returns that outcome ("" when open).
QString openInTheBackground(SerialDevice& device, const QString& name,
                            const kest::SerialSettings& settings,
                            const kest::SerialControl& control) {
    QString outcome = QStringLiteral("no outcome within 60 s");
    const auto connection =
        QObject::connect(&device, &SerialDevice::openFinished, [&](const QString& failure) {
            outcome = failure;
            QCoreApplication::exit(0);
        });
    const QString refused = device.open(name, settings, control);
    if (device.opening()) {
        QTimer::singleShot(60000, [] { QCoreApplication::exit(1); });
        QCoreApplication::exec();
    } else {
        outcome = refused.isEmpty() ? QStringLiteral("opened on the caller's thread") : refused;
    }
    QObject::disconnect(connection);
    return outcome;
}

int runLost(SerialDevice& device) {
    int losses = 0;
    QObject::connect(&device, &SerialDevice::deviceLost, [&](const QString& why) {
        ++losses;
        say(QStringLiteral("lost ") + why);
        // Further losses would come within the next moments; count them too.
        QTimer::singleShot(1000, [] { QCoreApplication::exit(0); });
    });
    QCoreApplication::exec();
    const bool present = device.present(device.name());
    say(QStringLiteral("losses %1 open %2 present %3")
            .arg(losses)
            .arg(device.isOpen())
            .arg(present));
    return losses == 1 && !device.isOpen() && !present ? 0 : 1;
}

// Baud rates and stop bits, each handshaking and both lines, on the open port and at a
// fresh open: the driver must take them all. Parity and word sizes other than 8 are
// left out: this host's pseudo-terminals refuse them (tcsetattr says EINVAL, under
// Wine as without it); the DCB they make is unit tested.
int runSettings(SerialDevice& device) {
    const QString name = device.name();
    int refusals = 0;
    const auto check = [&](const QString& what, const QString& refusal) {
        if (refusal.isEmpty()) return;
        say(what + QStringLiteral(" refused: ") + refusal);
        ++refusals;
    };
    for (const char* text :
         {"115200,N,8,1", "300,N,8,2", "19200,N,8,1", "1200,N,8,2", "9600,N,8,1"}) {
        const kest::SerialSettings settings = *kest::parseSerialSettings(QLatin1String(text));
        check(QLatin1String(text), device.applySettings(settings));
        for (int c = 0; c < 16; ++c) {  // each handshaking, with RTS and DTR off and on
            const kest::SerialControl control{static_cast<kest::SerialHandshake>(c / 4),
                                              (c & 1) != 0, (c & 2) != 0};
            check(QStringLiteral("%1 control %2").arg(text).arg(c), device.applyControl(control));
        }
        device.close();
        check(QStringLiteral("open with ") + QLatin1String(text),
              openInTheBackground(
                  device, name, settings,
                  kest::SerialControl{kest::SerialHandshake::RtsCtsXonXoff, true, true}));
    }
    say(QStringLiteral("refusals %1").arg(refusals));
    return refusals == 0 && device.isOpen() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        say(QStringLiteral("usage: serial_device_check echo|device <device> <count>|<none>"));
        return 2;
    }
    auto device = kest::makeSerialDevice();
    if (args[1] == QLatin1String("device")) {
        // The channel looks every few seconds whether a vanished adapter is back: a port
        // that is not there must not be reported present.
        const QString failure =
            openInTheBackground(*device, args[3], kest::SerialSettings{}, kest::SerialControl{});
        say(QStringLiteral("absent port: present %1, open failed: %2")
                .arg(device->present(args[3]))
                .arg(failure));
        if (device->present(args[3]) || !failure.contains(QLatin1String("no such device")) ||
            device->isOpen())
            return 1;
    }
    const bool present = device->present(args[2]);
    const QString failure =
        openInTheBackground(*device, args[2], kest::SerialSettings{}, kest::SerialControl{});
    say(QStringLiteral("present %1, open failed: %2").arg(present).arg(failure));
    if (!present || !failure.isEmpty()) return 1;
    say(QStringLiteral("open"));
    if (args[1] == QLatin1String("echo")) return runEcho(*device, args[3].toLongLong());
    return runSettings(*device) == 0 ? runLost(*device) : 1;
}
