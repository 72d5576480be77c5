#pragma once
// What the program's arguments ask for, worked out before any window, display or
// keyboard exists: the program itself as an instance (what every command line meant
// before the options came), or an option that prints or changes something and ends.
//
// Options and the instance argument come in any order; an argument that begins with
// "-" and is no option (outside the instance name) is an error, so that a mistyped
// option never starts a copy with a port and a window.
//
// To add an option: a value in Action, one branch in optionAction, one in
// runCommandLineAction and its line in the help text (CommandLine.cpp).

#include <QString>
#include <QStringList>

class QTextStream;

namespace kest {

struct CommandLine {
    enum class Action {
        Run,        // the program; the arguments name the instance ("/#NAME#") or none
        Help,       // --help
        Version,    // --version
        Autostart,  // --autostart on|off [/#NAME#]: start the instance at login, or not
        Explain,    // --explain [/#NAME#]: the steps a sample on standard input goes through
        Invalid,    // an option used wrongly; `error` says how
    };
    Action action = Action::Run;
    // Run: every argument, without the program's own path. Options: what follows the
    // option's own words (the instance argument).
    QStringList arguments;
    // Options with an instance argument: "" for the unnamed copy, else "_" and the
    // trimmed name, as the running instance calls itself.
    QString instanceSuffix;
    bool on = false;  // Autostart: on or off
    QString error;    // Invalid: one line for standard error
};

// The arguments without the program's own path.
CommandLine parseCommandLine(const QStringList& arguments);

// Carries out an option (any action but Run): prints to out (results) or err (errors)
// and returns the exit status. program is the absolute path of the running program.
int runCommandLineAction(const CommandLine& commandLine, const QString& program, QTextStream& out,
                         QTextStream& err);

// The --help and --version texts, each ending with a line break.
QString helpText();
QString versionText();

}  // namespace kest
