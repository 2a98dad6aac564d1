#include "tillconfig.h"

#include <QFileInfo>

namespace till {

TillConfig::TillConfig(const QString &ownFile) : m_ownFile(ownFile) {}

void TillConfig::loadFile(const QString &fileName, const QString &extra)
{
    if (!m_ownFile.isEmpty() && QFileInfo(fileName) != QFileInfo(m_ownFile))
        return;
    Config::loadFile(fileName, extra);
}

} // namespace till
