#pragma once

#include "hostexport.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <mutex>

// The host configuration store. Keys are written "Section:name"; an ini file's
// [Section] name=value becomes readable under that key.
class HOST_EXPORT Config
{
public:
    Config() = default;
    virtual ~Config() = default;

    // Adds the keys of an ini file (UTF-8) to what is loaded; later files win. A missing or
    // unreadable file adds nothing. Lines starting with ';' or '#' are comments; a value is
    // taken as written (trimmed), or from inside double quotes, where \" and \\ are escapes.
    // Keys before the first [Section] are read under their name alone.
    // Virtual, so that a host can stand its own file in for the one a plug-in names.
    virtual void loadFile(const QString &fileName, const QString &extra = QString());

    QString getString(const QString &key) const;
    QString getString(const QString &key, const QString &defaultValue) const;
    int getInt(const QString &key, int defaultValue) const;
    // Every key loaded, "Section:name" (or the bare name before the first section), sorted.
    QStringList keys() const;

    void setValue(const QString &key, const QString &value);
    void clear();

private:
    mutable std::mutex m_mutex;
    QHash<QString, QString> m_values;
};
