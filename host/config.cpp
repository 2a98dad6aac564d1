#include "config.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

// A value in double quotes loses the quotes, and inside them \" and \\ stand for " and \.
// Anything else is taken as written: passwords and URLs may hold ';', '#', ',' or '\', and
// none of these may be cut off or rewritten.
QString unquote(const QString &value)
{
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) ||
        !value.endsWith(QLatin1Char('"')))
        return value;
    QString text;
    text.reserve(value.size() - 2);
    for (int i = 1; i < value.size() - 1; ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size() - 1) {
            const QChar next = value.at(i + 1);
            if (next == QLatin1Char('"') || next == QLatin1Char('\\')) {
                text += next;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

} // namespace

void Config::loadFile(const QString &fileName, const QString &extra)
{
    Q_UNUSED(extra)
    // Parsed here rather than through QSettings: its process-wide cache can hand back the old
    // content of a file rewritten within the same millisecond with the same size, and its ini
    // rules cut a value at ';' and turn backslashes and commas into something else.
    if (!QFileInfo(fileName).isFile())
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // With its length, so that a NUL byte does not end the text early.
    const QByteArray bytes = file.readAll();
    QString content = QString::fromUtf8(bytes.constData(), bytes.size());
    if (content.startsWith(QChar(0xFEFF)))
        content.remove(0, 1);

    QHash<QString, QString> loaded;
    QString section;
    const QStringList lines = content.split(QLatin1Char('\n'));
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) ||
            line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString name = line.left(equals).trimmed();
        if (name.isEmpty())
            continue;
        const QString key = section.isEmpty() ? name : section + QLatin1Char(':') + name;
        loaded.insert(key, unquote(line.mid(equals + 1).trimmed()));
    }

    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
        m_values.insert(it.key(), it.value());
}

QString Config::getString(const QString &key) const
{
    return getString(key, QStringLiteral(""));
}

QString Config::getString(const QString &key, const QString &defaultValue) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it.value();
}

int Config::getInt(const QString &key, int defaultValue) const
{
    bool ok = false;
    const int value = getString(key, QString()).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

QStringList Config::keys() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QStringList list = m_values.keys();
    list.sort();
    return list;
}

void Config::setValue(const QString &key, const QString &value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.insert(key, value);
}

void Config::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_values.clear();
}
