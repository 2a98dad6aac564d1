#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

namespace jsonutils {

// Walks `path` through nested objects. The first value that is not an object is returned,
// whatever keys are left; a missing key, or a path that ends on an object, gives null.
QJsonValue extract(const QJsonObject &object, const QStringList &path);

} // namespace jsonutils
