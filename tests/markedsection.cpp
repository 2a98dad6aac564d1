#include "markedsection.h"

#include <QFile>
#include <QSaveFile>

MarkedSection::MarkedSection(const QString &path, const QString &name)
    : m_path(path), m_begin(QStringLiteral("<!-- %1:begin -->\n").arg(name)),
      m_end(QStringLiteral("<!-- %1:end -->").arg(name))
{}

bool MarkedSection::read()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1: %2").arg(m_path, file.errorString());
        return false;
    }
    const QString text = QString::fromUtf8(file.readAll());
    const int begin = lineAt(text, m_begin, 0);
    const int end = begin < 0 ? -1 : lineAt(text, m_end, begin + m_begin.size());
    if (end < 0) {
        m_error = QStringLiteral("%1 has no line %2 followed by a line %3")
                      .arg(m_path, m_begin.trimmed(), m_end);
        return false;
    }
    m_before = text.left(begin + m_begin.size());
    m_content = text.mid(m_before.size(), end - m_before.size());
    m_after = text.mid(end);
    return true;
}

// Where `line` starts a line of `text` at or after `from`, so that prose may quote a marker.
int MarkedSection::lineAt(const QString &text, const QString &line, int from)
{
    for (int at = text.indexOf(line, from); at >= 0; at = text.indexOf(line, at + 1)) {
        if (at == 0 || text.at(at - 1) == QLatin1Char('\n'))
            return at;
    }
    return -1;
}

void MarkedSection::setContent(const QString &content)
{
    m_content = content;
    if (!m_content.isEmpty() && !m_content.endsWith(QLatin1Char('\n')))
        m_content += QLatin1Char('\n');
}

bool MarkedSection::write()
{
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write((m_before + m_content + m_after).toUtf8()) < 0 || !file.commit()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(m_path, file.errorString());
        return false;
    }
    return true;
}
