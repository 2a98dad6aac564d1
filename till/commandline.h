#pragma once

#include <result.h>

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace till {

// The till's command line: one command, its options and the global options, in any order
// ("till --config a.ini sale --amount 100 --code X" and "till sale --amount 100 --code X
// --config a.ini" are the same). Every option but --help and the flags takes a value, given
// either as "--name value" or "--name=value".
class CommandLine
{
public:
    struct Option
    {
        QString name;      // without the dashes
        QString valueName; // shown in the help
        QString help;
        bool required = false;
        // A switch without a value (its valueName is empty): "--json".
        bool flag = false;
    };

    struct Command
    {
        QString name;
        QString summary;
        QString description;
        QVector<Option> options;
    };

    static const QVector<Command> &commands();
    static const QVector<Option> &globalOptions();

    // `arguments` without the program name. Fails on an unusable command line; the command
    // is still known when it could be told, so that the error can point to its help.
    Result<> parse(const QStringList &arguments);

    QString command() const { return m_command; }
    bool helpRequested() const { return m_help; }
    bool isSet(const QString &option) const { return m_values.contains(option); }
    QString value(const QString &option) const { return m_values.value(option); }
    // The option's value when it is given, `defaultValue` when it is not.
    QString value(const QString &option, const QString &defaultValue) const
    {
        return m_values.value(option, defaultValue);
    }

    // The help of a command, or the overview when `command` is empty.
    static QString helpText(const QString &command);

private:
    static const Command *findCommand(const QString &name);
    static const Option *findOption(const QVector<Option> &options, const QString &name);
    static bool isFlag(const QString &name);

    QString m_command;
    bool m_help = false;
    QHash<QString, QString> m_values;
};

} // namespace till
