#pragma once
// Runs the built program as a command-line tool: no display of any kind, a
// configuration home of its own, and whatever standard input the test gives it.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kest {

struct ProgramResult {
    int exitCode = -1;  // -1: it crashed or did not end within a minute
    QString out;
    QString err;
};

inline ProgramResult runProgram(const QString& home, const QStringList& arguments,
                                const QByteArray& input = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(display);
    environment.insert("XDG_CONFIG_HOME", home);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(KEST_PROGRAM_PATH, arguments);
    program.write(input);
    program.closeWriteChannel();
    ProgramResult result;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return result;
    }
    result.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    result.out = QString::fromUtf8(program.readAllStandardOutput());
    result.err = QString::fromUtf8(program.readAllStandardError());
    return result;
}

}  // namespace kest
