#include "databaseaccess.h"

#include "checktexts.h"

#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace till {

Result<> databaseWritable(const QString &path)
{
    using CheckTexts::text;
    const QFileInfo file(path);
    const QString directory = file.absolutePath();
    if (!QFileInfo(directory).isDir())
        return ResultError(text("queueNoDirectory").arg(directory));
    if (::access(QFile::encodeName(directory).constData(), W_OK | X_OK) != 0)
        return ResultError(text("queueNotWritable").arg(directory));
    if (file.exists() &&
        (!file.isFile() || ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0))
        return ResultError(text("queueNotWritable").arg(path));
    return ResultOk;
}

} // namespace till
