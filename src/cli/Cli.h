#pragma once
#include "shell/PrgInit.h"
#include "shell/Prompter.h"
#include <QString>
#include <QStringList>

// Exit codes of mirelo-cli.
enum CliExit { ExitOk = 0, ExitLink = 1, ExitInput = 2 };

struct CliOptions
{
    QString DataDir;
    QString LanguageSuffix = QStringLiteral("-DE"); // definition language suffix
    QString Decimal;                                // "," or "." when given
    QString Port = QStringLiteral("SIM");
    bool PortGiven = false; // --port named: commands that can work on a file or a device go online
    int Protocol = 4;
    bool ProtocolGiven = false; // else a read that finds no device searches for the protocol
    int SlaveAddress = 0xAE;
    int OwnAddress = 55;
    bool SlaveGiven = false;
    int Retries = Settings::DefaultRetries; // repetitions of an exchange that failed on the line
    QString Dial;       // a number dialled through the modem on the port before the command
    QString ModemInit;  // an initialisation string sent to the modem before dialling
    QString Fbed;       // the FBED number sent once connected (edits over a modem need it)
    QStringList Args; // the command's own arguments, common options removed
};

// Messages on stderr in the program's own texts; questions are answered No unless --yes.
class CliPrompter : public Prompter
{
public:
    bool AnswerYes = false;
    void error(const QString &text) override;
    void warning(const QString &text) override;
    void information(const QString &text) override;
    bool question(const QString &text) override;
};

using CommandFn = int (*)(const CliOptions &, CliPrompter &);

struct CommandRegistrar
{
    CommandRegistrar(const char *name, const char *usage, CommandFn fn);
};

// Takes "--name VALUE" out of args; false when absent. A missing value sets *missing.
bool TakeOption(QStringList &args, const QString &name, QString *value, bool *missing = nullptr);
// Takes a flag "--name" out of args.
bool TakeFlag(QStringList &args, const QString &name);
// Prints to stdout / stderr (UTF-8).
void Out(const QString &line);
void Err(const QString &line);
