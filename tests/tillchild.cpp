#include "tillchild.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <QElapsedTimer>

namespace {

// How long one wait blocks before the collected text is looked at again; the waits end
// earlier whenever the till writes or ends.
constexpr int SliceMs = 50;

} // namespace

TillChild::TillChild(const QStringList &arguments, const QString &workingDirectory)
    : m_arguments(arguments)
{
    m_process.setProgram(QStringLiteral(VELMOR_TILL_PATH));
    m_process.setArguments(arguments);
    m_process.setWorkingDirectory(workingDirectory);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
}

TillChild::~TillChild()
{
    if (m_process.state() != QProcess::NotRunning)
        kill();
}

bool TillChild::start()
{
    m_process.start(QIODevice::ReadOnly);
    return m_process.waitForStarted(10000);
}

bool TillChild::runToEnd(int timeoutMs)
{
    if (!start())
        return false;
    if (waitForEnd(timeoutMs))
        return true;
    kill();
    return false;
}

bool TillChild::waitForError(const QString &text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    m_process.setReadChannel(QProcess::StandardError);
    for (;;) {
        collect();
        if (m_errors.contains(text))
            return true;
        if (m_process.state() == QProcess::NotRunning || timer.elapsed() >= timeoutMs)
            return false;
        m_process.waitForReadyRead(int(qMin<qint64>(SliceMs, timeoutMs - timer.elapsed())));
    }
}

bool TillChild::waitForEnd(int timeoutMs)
{
    const bool ended =
        m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    collect();
    return ended;
}

void TillChild::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    collect();
}

bool TillChild::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

bool TillChild::exitedNormally() const
{
    return m_process.state() == QProcess::NotRunning &&
           m_process.exitStatus() == QProcess::NormalExit;
}

int TillChild::exitCode() const
{
    return m_process.exitCode();
}

QStringList TillChild::outputLines() const
{
    return m_output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString TillChild::commandLine() const
{
    return QStringLiteral("till ") + m_arguments.join(QLatin1Char(' '));
}

void TillChild::collect()
{
    // Bytes are kept until the end so that a UTF-8 sequence split across two reads is not
    // decoded in halves.
    m_outputBytes += m_process.readAllStandardOutput();
    m_errorBytes += m_process.readAllStandardError();
    m_output = QString::fromUtf8(m_outputBytes);
    m_errors = QString::fromUtf8(m_errorBytes);
}

bool writeTwoPositionReceipt(const QString &path, const QString &firstName, double firstBack,
                             double secondBack)
{
    const QJsonArray items{QJsonObject{{QStringLiteral("posnum"), 1},
                                       {QStringLiteral("articul"), QStringLiteral("KETTLE-1")},
                                       {QStringLiteral("name"), firstName},
                                       {QStringLiteral("quantity"), 2},
                                       {QStringLiteral("bquant"), firstBack},
                                       {QStringLiteral("sumb"), 1000.0}},
                           QJsonObject{{QStringLiteral("posnum"), 2},
                                       {QStringLiteral("articul"), QStringLiteral("MUG-2")},
                                       {QStringLiteral("name"), QStringLiteral("Кружка")},
                                       {QStringLiteral("quantity"), 1},
                                       {QStringLiteral("bquant"), secondBack},
                                       {QStringLiteral("sumb"), 1000.0}}};
    QFile receipt(path);
    if (!receipt.open(QIODevice::WriteOnly))
        return false;
    const QByteArray text = QJsonDocument(QJsonObject{{QStringLiteral("totalSum"), 2000.0},
                                                      {QStringLiteral("items"), items}})
                                .toJson();
    return receipt.write(text) == text.size();
}
