#include "configfile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace velmor {

namespace {

bool hasSection(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.size() > 2 && line.startsWith(QLatin1Char('[')) &&
            line.endsWith(QLatin1Char(']')) && !line.mid(1, line.size() - 2).trimmed().isEmpty())
            return true;
    }
    return false;
}

} // namespace

QString ConfigFile::pathIn(const QString &paySystemsDirectory)
{
    return paySystemsDirectory + QStringLiteral("velmor/velmor.ini");
}

ConfigFile::ConfigFile(const QString &fileName)
{
    const QFileInfo info(fileName);
    // A dangling link is as good as no file; a link to a file is followed.
    if (!info.exists()) {
        m_state = State::Missing;
        return;
    }
    m_state = State::Unusable;
    if (!info.isFile()) {
        m_problem = Problem::NotAFile;
        return;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        m_problem = Problem::Unreadable;
        m_readError = file.errorString();
        return;
    }
    const QByteArray bytes = file.readAll();
    const QString text = QString::fromUtf8(bytes.constData(), bytes.size());
    if (text.toUtf8() != bytes) {
        m_problem = Problem::NotUtf8;
        return;
    }
    if (!hasSection(text)) {
        m_problem = Problem::NoSection;
        return;
    }
    m_state = State::Usable;
}

QString ConfigFile::problemText() const
{
    switch (m_problem) {
    case Problem::None:
        break;
    case Problem::NotAFile:
        return QStringLiteral("not a regular file");
    case Problem::Unreadable:
        return QStringLiteral("cannot be read: %1").arg(m_readError);
    case Problem::NotUtf8:
        return QStringLiteral("not UTF-8 text, not a usable ini file");
    case Problem::NoSection:
        return QStringLiteral("holds no [section], not a usable ini file");
    }
    return QString();
}

} // namespace velmor
