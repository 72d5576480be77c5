#include "app/CommandLine.h"

#include <QTextStream>
#include <exception>
#include <optional>
#include <vector>

#include "app/Explain.h"
#include "app/PlatformHelp.h"
#include "config/InstanceName.h"
#include "platform/Autostart.h"
#include "ui/WindowWidgets.h"

namespace kest {

namespace {

CommandLine only(CommandLine::Action action) {
    CommandLine result;
    result.action = action;
    return result;
}

CommandLine invalid(const QString& error) {
    CommandLine result = only(CommandLine::Action::Invalid);
    result.error = error;
    return result;
}

// An option's instance argument: nothing (the unnamed copy) or text holding
// "/#NAME#", read exactly as a running copy reads its command line. A name without its
// closing "#" is refused here: the running copy would take the placeholder caption for
// a name, which nobody means to start at login.
CommandLine withInstance(CommandLine::Action action, const QString& option,
                         const QStringList& rest) {
    CommandLine result = only(action);
    result.arguments = rest;
    if (rest.isEmpty()) return result;
    const QString text = rest.join(QLatin1Char(' '));
    const auto suffix = instanceSuffix(toCp1252(text));
    if (!suffix)
        return invalid(option + QStringLiteral(": \"") + text +
                       QStringLiteral("\" is not an instance argument /#NAME#"));
    if (*suffix == kInstanceDesignCaption)
        return invalid(option + QStringLiteral(": the instance name in \"") + text +
                       QStringLiteral("\" has no closing #"));
    result.instanceSuffix = fromCp1252(*suffix);
    return result;
}

std::optional<CommandLine::Action> optionAction(const QString& argument) {
    if (argument == QLatin1String("--help")) return CommandLine::Action::Help;
    if (argument == QLatin1String("--version")) return CommandLine::Action::Version;
    if (argument == QLatin1String("--autostart")) return CommandLine::Action::Autostart;
    if (argument == QLatin1String("--explain")) return CommandLine::Action::Explain;
    return std::nullopt;
}

// Which arguments lie inside the instance name: the running copy reads the name from
// the arguments joined by spaces, between the first "/#" and the "#" after it, so a
// name given in pieces ("/#My" "-Scanner#") may hold a piece that begins with "-".
std::vector<bool> withinInstanceName(const QStringList& arguments) {
    std::vector<bool> inside(std::size_t(arguments.size()), false);
    const QString text = arguments.join(QLatin1Char(' '));
    const qsizetype open = text.indexOf(QStringLiteral("/#"));
    if (open < 0) return inside;
    const qsizetype close = text.indexOf(QLatin1Char('#'), open + 3);
    const qsizetype end = close < 0 ? text.size() : close;
    qsizetype start = 0;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const qsizetype stop = start + arguments.at(i).size();
        inside[std::size_t(i)] = start > open && start <= end;
        start = stop + 1;
    }
    return inside;
}

// The instance as the user named it, for messages: "Scanner_001", or the unnamed copy.
QString instanceLabel(const QString& suffix) {
    return suffix.isEmpty() ? QStringLiteral("the unnamed copy")
                            : QStringLiteral("instance \"") + suffix.mid(1) + QLatin1Char('"');
}

int runAutostart(const CommandLine& commandLine, const QString& program, QTextStream& out) {
    const QString entry = autostart::entryPath(commandLine.instanceSuffix);
    const QString who = instanceLabel(commandLine.instanceSuffix);
    if (commandLine.on) {
        autostart::enable(commandLine.instanceSuffix, program);
        out << "Start at login is on for " << who << ": " << entry << "\n";
    } else if (autostart::disable(commandLine.instanceSuffix)) {
        out << "Start at login is off for " << who << ": removed " << entry << "\n";
    } else {
        out << "Start at login was not on for " << who << " (no " << entry << ")\n";
    }
    return 0;
}

}  // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    const std::vector<bool> inName = withinInstanceName(arguments);
    std::optional<CommandLine::Action> action;
    QString option;
    bool on = false;
    QStringList rest;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-')) || inName[std::size_t(i)]) {
            rest << argument;
            continue;
        }
        const std::optional<CommandLine::Action> named = optionAction(argument);
        if (!named) return invalid(QStringLiteral("unknown option \"") + argument + '"');
        if (action && *action != *named)
            return invalid(QStringLiteral("one option at a time: ") + option + " or " + argument);
        action = named;
        option = argument;
        if (*named == CommandLine::Action::Autostart) {
            const QString onOff = arguments.value(i + 1);
            if (onOff != QLatin1String("on") && onOff != QLatin1String("off"))
                return invalid(QStringLiteral(
                    "--autostart needs on or off; the instance argument /#INSTANCE_NAME# may "
                    "follow or come first, and without it the unnamed copy is meant"));
            on = onOff == QLatin1String("on");
            ++i;
        }
    }
    if (!action) {
        CommandLine run = only(CommandLine::Action::Run);
        run.arguments = arguments;
        return run;
    }
    if (*action == CommandLine::Action::Help || *action == CommandLine::Action::Version)
        return only(*action);
    CommandLine result = withInstance(*action, option, rest);
    result.on = on;
    return result;
}

int runCommandLineAction(const CommandLine& commandLine, const QString& program, QTextStream& out,
                         QTextStream& err) {
    try {
        switch (commandLine.action) {
            case CommandLine::Action::Help:
                out << helpText();
                return 0;
            case CommandLine::Action::Version:
                out << versionText();
                return 0;
            case CommandLine::Action::Autostart:
                return runAutostart(commandLine, program, out);
            case CommandLine::Action::Explain:
                return explainSample(commandLine.instanceSuffix, readSampleFromStandardInput(), out,
                                     err);
            case CommandLine::Action::Invalid:
                err << "Kest_Redirect_Serial_to_KB: " << commandLine.error << "\n"
                    << "Try Kest_Redirect_Serial_to_KB --help\n";
                return 2;
            case CommandLine::Action::Run:
                break;
        }
    } catch (const std::exception& e) {
        err << "Kest_Redirect_Serial_to_KB: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

QString versionText() {
    return QStringLiteral("Kest Redirect " KEST_VERSION "\n");
}

QString helpText() {
    QString text = QStringLiteral(
        "Usage: Kest_Redirect_Serial_to_KB [/#INSTANCE_NAME#]\n"
        "       Kest_Redirect_Serial_to_KB --autostart on|off [/#INSTANCE_NAME#]\n"
        "       Kest_Redirect_Serial_to_KB --explain [/#INSTANCE_NAME#] < sample\n"
        "       Kest_Redirect_Serial_to_KB --help | --version\n"
        "\n"
        "Types what arrives on a serial port, a TCP connection or a watched file into the\n"
        "active window, as key events, translated by your rules.\n"
        "\n"
        "  /#INSTANCE_NAME#     run as the named instance, with a configuration of its own;\n"
        "                       the name may hold any characters but #, and instances run\n"
        "                       side by side, one per port: /#Scanner_001#, /#Scanner_002#.\n"
        "                       Without it the copy uses the common configuration and ends\n"
        "                       at once when another copy is running. A second start of a\n"
        "                       running instance brings its window to the front and ends.\n"
        "  --autostart on|off   start the instance (or the unnamed copy) when you log in,\n"
        "                       or no longer\n"
        "  --explain            read a sample input from standard input, byte for byte,\n"
        "                       and print each step the instance's saved rules take it\n"
        "                       through and the keys it would type; types, sends and\n"
        "                       activates nothing, and needs no display\n"
        "  --help               this text\n"
        "  --version            the program's version\n"
        "\n"
        "Options and the instance argument may come in any order. Any other argument that\n"
        "begins with - is an error.\n");
    return text + QLatin1Char('\n') + platformHelp();
}

}  // namespace kest
