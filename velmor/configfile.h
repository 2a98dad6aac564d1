#pragma once

#include <QString>

namespace velmor {

// What the plug-in's configuration file holds before the host loads it. The host's loader takes
// an unreadable file, another encoding or no ini file at all without a word, and the plug-in
// would then send the buyer's code to its default address without credentials; this tells
// those cases apart from a file that is simply not there.
class ConfigFile
{
public:
    enum class State {
        Usable,
        // Not there: the defaults apply.
        Missing,
        // There, but no configuration can come from it: problem() says why.
        Unusable,
    };
    enum class Problem { None, NotAFile, Unreadable, NotUtf8, NoSection };

    // Where the plug-in's file lies under the host's pay-systems directory (which ends with a
    // slash: nothing is inserted between the two).
    static QString pathIn(const QString &paySystemsDirectory);

    // Reads `fileName` once, at construction.
    explicit ConfigFile(const QString &fileName);

    State state() const { return m_state; }
    Problem problem() const { return m_problem; }
    // Why the file is unusable, in English, for logs and the till; empty otherwise.
    QString problemText() const;
    // The system's reason when the file could not be opened.
    QString readError() const { return m_readError; }

private:
    State m_state = State::Usable;
    Problem m_problem = Problem::None;
    QString m_readError;
};

} // namespace velmor
