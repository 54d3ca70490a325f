#include "core/commandline.h"

#include "core/patcherror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

namespace tolvane {

namespace commandline {

namespace {

// Every command's own option, last in its help.
const Option kHelpOption{{QStringLiteral("h"), QStringLiteral("help")},
                         QStringLiteral("show this help and exit")};

QString usageLine(const char* program, const QString& what) {
    return QStringLiteral("Usage: %1 %2\n").arg(QLatin1String(program), what);
}

// A command's words in its usage line and in the tool's list: "dump [--csv | --json] LIST.tvp".
QString synopsis(const CommandSpec& spec) {
    return spec.name.isEmpty() ? spec.arguments : spec.name + QLatin1Char(' ') + spec.arguments;
}

// "-h, --help", "--teams N".
QString flags(const Option& option) {
    QStringList names;
    for (const QString& name : option.names)
        names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName.isEmpty())
        text += QLatin1Char(' ') + option.valueName;
    return text;
}

// Rows of a help's table: each term, then its text in a column two blanks right of the
// longest term, the text's further lines in the same column.
QString table(const std::vector<std::pair<QString, QString>>& rows) {
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    const QString indent(2 + width + 2, QLatin1Char(' '));
    QString text;
    for (const auto& [term, description] : rows) {
        text += QStringLiteral("  ") + term.leftJustified(width + 2) +
                QString(description).replace(QLatin1Char('\n'), QLatin1Char('\n') + indent) +
                QLatin1Char('\n');
    }
    return text;
}

QString optionTable(const std::vector<Option>& options) {
    std::vector<std::pair<QString, QString>> rows;
    for (const Option& option : options)
        rows.emplace_back(flags(option), option.help);
    rows.emplace_back(flags(kHelpOption), kHelpOption.help);
    return table(rows);
}

QCommandLineOption parserOption(const Option& option) {
    QCommandLineOption parsed(option.names, option.help, option.valueName);
    if (!option.defaultValue.isEmpty())
        parsed.setDefaultValue(option.defaultValue);
    return parsed;
}

#ifdef Q_OS_WIN
// A console, written to as the characters it is sent in UTF-8. Bytes written to a console
// are read in its code page, and not every console takes UTF-8 for one (Wine's splits its
// sequences even when told to), while the characters themselves show right in every one.
class ConsoleDevice : public QIODevice {
public:
    explicit ConsoleDevice(HANDLE console)
        : m_console(console) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }

    qint64 writeData(const char* data, qint64 size) override {
        m_pending.append(data, qsizetype(size));
        const qsizetype whole = wholeCharacters();
        const QString text = QString::fromUtf8(m_pending.constData(), whole);
        m_pending.remove(0, whole);
        const auto* characters = reinterpret_cast<const wchar_t*>(text.utf16());
        for (qsizetype done = 0; done < text.size();) {
            DWORD written = 0;
            if (!WriteConsoleW(m_console, characters + done, DWORD(text.size() - done), &written,
                               nullptr) ||
                written == 0)
                return -1;
            done += qsizetype(written);
        }
        return size;
    }

private:
    // How many of the pending bytes end in a whole character: a sequence cut off at the end
    // waits for the rest of it in the next write.
    qsizetype wholeCharacters() const {
        const qsizetype size = m_pending.size();
        for (qsizetype back = 1; back <= std::min<qsizetype>(3, size); ++back) {
            const auto byte = static_cast<unsigned char>(m_pending[size - back]);
            if ((byte & 0xC0) == 0x80)
                continue;
            const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
            return length > back ? size - back : size;
        }
        return size;
    }

    HANDLE m_console;
    QByteArray m_pending;
};
#endif

// Standard output or standard error as a device: the console itself where it is one on
// Windows, the stream's bytes otherwise.
std::unique_ptr<QIODevice> standardStream(FILE* stream) {
#ifdef Q_OS_WIN
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode))
        return std::make_unique<ConsoleDevice>(handle);
#endif
    auto file = std::make_unique<QFile>();
    file->open(stream, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return file;
}

} // namespace

void writeLine(QIODevice& device, const QString& text) {
    device.write((text + QLatin1Char('\n')).toUtf8());
}

void say(QIODevice& err, const char* program, const QString& text) {
    writeLine(err, QLatin1String(program) + QStringLiteral(": ") + text);
}

QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return text;
}

QString describe(const PatchError& error) {
    QString text = error.operation();
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    if (!error.target().isEmpty())
        text = error.target() + QStringLiteral(": ") + text;
    // A target may name a table's row on a line of its own, a cause have paragraphs.
    return oneLine(text + QStringLiteral(": ") + error.cause());
}

Call::Call(const Tool& tool, const Command& command, const QCommandLineParser& parser,
           QIODevice& out, QIODevice& err)
    : m_tool(tool)
    , m_command(command)
    , m_parser(parser)
    , m_files(parser.positionalArguments())
    , m_out(out)
    , m_err(err) {}

bool Call::isSet(const QString& option) const {
    return m_parser.isSet(option);
}

QString Call::value(const QString& option) const {
    return m_parser.value(option);
}

void Call::say(const QString& text) const {
    m_tool.say(m_err, text);
}

int Call::usage(const QString& text) const {
    return m_tool.usage(m_err, text, &m_command);
}

Command::Command(CommandSpec spec)
    : m_spec(std::move(spec)) {}

Command::~Command() = default;

Tool::Tool(const char* program, QString description, Commands commands)
    : m_program(program)
    , m_description(std::move(description))
    , m_commands(std::move(commands)) {}

Tool::Tool(const char* program, std::shared_ptr<const Command> command)
    : m_program(program)
    , m_commands{std::move(command)} {}

QString Tool::help() const {
    if (m_commands.size() == 1 && m_commands.front()->spec().name.isEmpty())
        return help(*m_commands.front());
    std::vector<std::pair<QString, QString>> commands;
    for (const auto& command : m_commands)
        commands.emplace_back(synopsis(command->spec()), command->spec().summary);
    return usageLine(m_program, QStringLiteral("COMMAND [OPTION]... FILE...")) + m_description +
           QStringLiteral("\n\nCommands:\n") + table(commands) + QStringLiteral("\nOptions:\n") +
           optionTable({}) +
           QStringLiteral("\nRun '%1 COMMAND --help' for a command's details and exit status.\n")
               .arg(QLatin1String(m_program));
}

QString Tool::help(const Command& command) const {
    const CommandSpec& spec = command.spec();
    QString text = usageLine(m_program, synopsis(spec)) + spec.description +
                   QStringLiteral("\n\nOptions:\n") + optionTable(spec.options);
    if (!spec.details.isEmpty())
        text += QLatin1Char('\n') + spec.details + QLatin1Char('\n');
    return text + QStringLiteral("\nExit status: ") + spec.exitStatus + QLatin1Char('\n');
}

void Tool::say(QIODevice& err, const QString& text) const {
    commandline::say(err, m_program, text);
}

int Tool::usage(QIODevice& err, const QString& text, const Command* command) const {
    say(err, text);
    const QString name = command ? command->spec().name : QString();
    say(err,
        QStringLiteral("see '%1 %2--help'")
            .arg(QLatin1String(m_program), name.isEmpty() ? QString() : name + QLatin1Char(' ')));
    return kTrouble;
}

int Tool::run(const QStringList& arguments, QIODevice& out, QIODevice& err) const {
    if (m_commands.size() == 1 && m_commands.front()->spec().name.isEmpty())
        return runCommand(*m_commands.front(), arguments, out, err);
    if (arguments.isEmpty())
        return usage(err, QStringLiteral("no command given"));
    const QString word = arguments.front();
    if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
        out.write(help().toUtf8());
        return kOk;
    }
    for (const auto& command : m_commands) {
        if (command->spec().name == word)
            return runCommand(*command, arguments.mid(1), out, err);
    }
    return usage(err, QStringLiteral("unknown command '%1'").arg(word));
}

int Tool::runCommand(const Command& command, const QStringList& arguments, QIODevice& out,
                     QIODevice& err) const {
    const CommandSpec& spec = command.spec();
    QCommandLineParser parser;
    for (const Option& option : spec.options)
        parser.addOption(parserOption(option));
    parser.addOption(parserOption(kHelpOption));
    if (!parser.parse(QStringList{QLatin1String(m_program)} + arguments))
        return usage(err, parser.errorText(), &command);
    if (parser.isSet(kHelpOption.names.back())) {
        out.write(help(command).toUtf8());
        return kOk;
    }
    if (parser.positionalArguments().size() != spec.files) {
        const QString name = spec.name.isEmpty() ? QLatin1String(m_program) : spec.name;
        return usage(err, QStringLiteral("%1 takes %2").arg(name, spec.filesInWords), &command);
    }
    const Call call(*this, command, parser, out, err);
    try {
        return command.execute(call);
    } catch (const PatchError& error) {
        say(err, describe(error));
    } catch (const std::exception& error) {
        say(err, exceptionText(error));
    }
    return kTrouble;
}

int runOnStandardStreams(const char* program,
                         const std::function<int(QIODevice& out, QIODevice& err)>& work) {
#ifdef Q_OS_WIN
    // CSV lines end in CR LF already, and JSON must reach a file as written.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    const std::unique_ptr<QIODevice> out = standardStream(stdout);
    const std::unique_ptr<QIODevice> err = standardStream(stderr);
    const int status = work(*out, *err);
    out->close();
    // A full disk or a closed pipe shows only when the last bytes leave the buffer.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        say(*err, program, QStringLiteral("cannot write the output"));
        return kTrouble;
    }
    return status;
}

int main(int argc, char** argv, const Tool& tool) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(tool.program()));
    return runOnStandardStreams(tool.program(), [&](QIODevice& out, QIODevice& err) {
        return tool.run(app.arguments().mid(1), out, err);
    });
}

} // namespace commandline

} // namespace tolvane
