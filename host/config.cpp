#include "config.h"

#include <QFileInfo>
#include <QSettings>
#include <QStringList>

void Config::loadFile(const QString &fileName, const QString &extra)
{
    Q_UNUSED(extra)
    const QFileInfo info(fileName);
    if (!info.isFile() || !info.isReadable())
        return;

    QSettings settings(fileName, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    if (settings.status() != QSettings::NoError)
        return;

    QHash<QString, QString> loaded;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys) {
        const QVariant value = settings.value(key);
        // An unquoted value with commas comes back as a list; keep its parts rather than
        // dropping the value.
        const QString text = value.type() == QVariant::StringList
                                 ? value.toStringList().join(QLatin1Char(','))
                                 : value.toString();
        QString name = key;
        const int slash = name.indexOf(QLatin1Char('/'));
        if (slash > 0)
            name[slash] = QLatin1Char(':');
        loaded.insert(name, text);
    }

    QMutexLocker lock(&m_mutex);
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it)
        m_values.insert(it.key(), it.value());
}

QString Config::getString(const QString &key) const
{
    return getString(key, QString(""));
}

QString Config::getString(const QString &key, const QString &defaultValue) const
{
    QMutexLocker lock(&m_mutex);
    const auto it = m_values.constFind(key);
    return it == m_values.cend() ? defaultValue : it.value();
}

int Config::getInt(const QString &key, int defaultValue) const
{
    bool ok = false;
    const int value = getString(key, QString()).trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

void Config::setValue(const QString &key, const QString &value)
{
    QMutexLocker lock(&m_mutex);
    m_values.insert(key, value);
}

void Config::clear()
{
    QMutexLocker lock(&m_mutex);
    m_values.clear();
}
