#include "receiptreader.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include <cmath>
#include <limits>

namespace till {

namespace {

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    case QJsonValue::Undefined:
        break;
    }
    return QStringLiteral("missing");
}

// Checks one object's member names against what is allowed and what is required.
QString checkMembers(const QJsonObject &object, const QString &where, const QStringList &required,
                     const QStringList &optional)
{
    for (const QString &key : required) {
        if (!object.contains(key))
            return QStringLiteral("%1 has no \"%2\"").arg(where, key);
    }
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!required.contains(it.key()) && !optional.contains(it.key()))
            return QStringLiteral("%1 has an unknown member \"%2\"").arg(where, it.key());
    }
    return QString();
}

// A finite, non-negative number no larger than ReceiptReader::MaxValue.
QString readAmount(const QJsonValue &value, const QString &name, double *result)
{
    if (!value.isDouble())
        return QStringLiteral("%1 must be a number, not %2").arg(name, typeName(value));
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return QStringLiteral("%1 must be a finite number").arg(name);
    if (number < 0)
        return QStringLiteral("%1 must not be negative (%2)").arg(name).arg(number);
    if (number > ReceiptReader::MaxValue)
        return QStringLiteral("%1 is too large (%2)").arg(name).arg(number);
    *result = number;
    return QString();
}

QString readString(const QJsonValue &value, const QString &name, QString *result)
{
    if (!value.isString())
        return QStringLiteral("%1 must be a string, not %2").arg(name, typeName(value));
    *result = value.toString();
    return QString();
}

QString readPosnum(const QJsonValue &value, const QString &name, int *result)
{
    if (!value.isDouble())
        return QStringLiteral("%1 must be a number, not %2").arg(name, typeName(value));
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < 1 ||
        number > std::numeric_limits<int>::max())
        return QStringLiteral("%1 must be a positive whole number").arg(name);
    *result = int(number);
    return QString();
}

} // namespace

bool ReceiptReader::read(const QString &fileName)
{
    m_document.reset();
    const QString origin = QStringLiteral("receipt %1").arg(fileName);
    const QFileInfo info(fileName);
    if (!info.exists())
        return fail(origin, QStringLiteral("no such file"));
    // A device or a FIFO could block or never end; a receipt is a regular file.
    if (!info.isFile())
        return fail(origin, QStringLiteral("not a regular file"));
    if (info.size() > MaxFileSize)
        return fail(origin, QStringLiteral("larger than %1 bytes").arg(MaxFileSize));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return fail(origin, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    // One byte more than the file claims shows a file that grew meanwhile, without asking
    // for a buffer of the largest size allowed on every read.
    const QByteArray bytes = file.read(qMin<qint64>(info.size(), MaxFileSize) + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(origin, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    if (bytes.size() > MaxFileSize)
        return fail(origin, QStringLiteral("larger than %1 bytes").arg(MaxFileSize));
    return parse(bytes, origin);
}

bool ReceiptReader::parse(const QByteArray &json, const QString &origin)
{
    m_document.reset();
    m_error.clear();

    QJsonParseError parseError{};
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(origin, QStringLiteral("not valid JSON: %1 at offset %2")
                                .arg(parseError.errorString())
                                .arg(parseError.offset));
    if (!parsed.isObject())
        return fail(origin, QStringLiteral("the receipt must be a JSON object"));
    const QJsonObject root = parsed.object();

    QString problem = checkMembers(root, QStringLiteral("the receipt"),
                                   {QStringLiteral("totalSum"), QStringLiteral("items")},
                                   {QStringLiteral("prepaidSum")});
    if (!problem.isEmpty())
        return fail(origin, problem);

    auto document = QSharedPointer<Document>::create();
    double totalSum = 0.0;
    problem = readAmount(root.value(QStringLiteral("totalSum")), QStringLiteral("\"totalSum\""),
                         &totalSum);
    if (!problem.isEmpty())
        return fail(origin, problem);
    double prepaidSum = 0.0;
    if (root.contains(QStringLiteral("prepaidSum"))) {
        problem = readAmount(root.value(QStringLiteral("prepaidSum")),
                             QStringLiteral("\"prepaidSum\""), &prepaidSum);
        if (!problem.isEmpty())
            return fail(origin, problem);
    }
    if (prepaidSum > totalSum)
        return fail(origin, QStringLiteral("\"prepaidSum\" (%1) exceeds \"totalSum\" (%2)")
                                .arg(prepaidSum)
                                .arg(totalSum));
    document->setTotalSum(totalSum);
    document->setPrepaidSum(prepaidSum);

    const QJsonValue items = root.value(QStringLiteral("items"));
    if (!items.isArray())
        return fail(origin,
                    QStringLiteral("\"items\" must be an array, not %1").arg(typeName(items)));
    const QJsonArray array = items.toArray();
    const QStringList itemKeys = {QStringLiteral("posnum"), QStringLiteral("articul"),
                                  QStringLiteral("name"),   QStringLiteral("quantity"),
                                  QStringLiteral("bquant"), QStringLiteral("sumb")};
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("items[%1]").arg(i);
        if (!array.at(i).isObject())
            return fail(
                origin,
                QStringLiteral("%1 must be an object, not %2").arg(where, typeName(array.at(i))));
        const QJsonObject object = array.at(i).toObject();
        problem = checkMembers(object, where, itemKeys, {});
        if (!problem.isEmpty())
            return fail(origin, problem);

        Position position;
        const QString prefix = where + QLatin1Char('.');
        const auto member = [&object](const char *key) { return object.value(QLatin1String(key)); };
        problem = readPosnum(member("posnum"), prefix + QLatin1String("posnum"), &position.posnum);
        if (problem.isEmpty())
            problem =
                readString(member("articul"), prefix + QLatin1String("articul"), &position.articul);
        if (problem.isEmpty())
            problem = readString(member("name"), prefix + QLatin1String("name"), &position.name);
        if (problem.isEmpty())
            problem = readAmount(member("quantity"), prefix + QLatin1String("quantity"),
                                 &position.quantity);
        if (problem.isEmpty())
            problem =
                readAmount(member("bquant"), prefix + QLatin1String("bquant"), &position.bquant);
        if (problem.isEmpty())
            problem = readAmount(member("sumb"), prefix + QLatin1String("sumb"), &position.sumb);
        if (!problem.isEmpty())
            return fail(origin, problem);
        document->addGoodsItem(goodsItem(position));
    }

    m_document = document;
    return true;
}

QSharedPointer<TGoodsItem> ReceiptReader::goodsItem(const Position &position)
{
    auto item = QSharedPointer<TGoodsItem>::create();
    item->setPosnum(position.posnum);
    item->setArticul(position.articul);
    item->setName(position.name);
    item->setQuantity(position.quantity);
    item->setBquant(position.bquant);
    item->setSumb(position.sumb);
    return item;
}

bool ReceiptReader::fail(const QString &origin, const QString &problem)
{
    m_document.reset();
    m_error = QStringLiteral("%1: %2").arg(origin, problem);
    return false;
}

} // namespace till
