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
Result<> checkMembers(const QJsonObject &object, const QString &where, const QStringList &required,
                      const QStringList &optional)
{
    for (const QString &key : required) {
        if (!object.contains(key))
            return ResultError(QStringLiteral("%1 has no \"%2\"").arg(where, key));
    }
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (!required.contains(it.key()) && !optional.contains(it.key()))
            return ResultError(
                QStringLiteral("%1 has an unknown member \"%2\"").arg(where, it.key()));
    }
    return ResultOk;
}

// A finite, non-negative number no larger than ReceiptReader::MaxValue.
Result<double> readAmount(const QJsonValue &value, const QString &name)
{
    if (!value.isDouble())
        return ResultError(
            QStringLiteral("%1 must be a number, not %2").arg(name, typeName(value)));
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return ResultError(QStringLiteral("%1 must be a finite number").arg(name));
    if (number < 0)
        return ResultError(QStringLiteral("%1 must not be negative (%2)").arg(name).arg(number));
    if (number > ReceiptReader::MaxValue)
        return ResultError(QStringLiteral("%1 is too large (%2)").arg(name).arg(number));
    return number;
}

Result<QString> readString(const QJsonValue &value, const QString &name)
{
    if (!value.isString())
        return ResultError(
            QStringLiteral("%1 must be a string, not %2").arg(name, typeName(value)));
    return value.toString();
}

Result<int> readPosnum(const QJsonValue &value, const QString &name)
{
    if (!value.isDouble())
        return ResultError(
            QStringLiteral("%1 must be a number, not %2").arg(name, typeName(value)));
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::floor(number) || number < 1 ||
        number > std::numeric_limits<int>::max())
        return ResultError(QStringLiteral("%1 must be a positive whole number").arg(name));
    return int(number);
}

// The position of the receipt's item `object`, which is `where` in error messages.
Result<ReceiptReader::Position> readPosition(const QJsonObject &object, const QString &where)
{
    const QStringList itemKeys = {QStringLiteral("posnum"), QStringLiteral("articul"),
                                  QStringLiteral("name"),   QStringLiteral("quantity"),
                                  QStringLiteral("bquant"), QStringLiteral("sumb")};
    const Result<> members = checkMembers(object, where, itemKeys, {});
    if (!members)
        return ResultError(members.error());

    const QString prefix = where + QLatin1Char('.');
    const auto member = [&object](const char *key) { return object.value(QLatin1String(key)); };
    const auto name = [&prefix](const char *key) { return prefix + QLatin1String(key); };
    const Result<int> posnum = readPosnum(member("posnum"), name("posnum"));
    if (!posnum)
        return ResultError(posnum.error());
    const Result<QString> articul = readString(member("articul"), name("articul"));
    if (!articul)
        return ResultError(articul.error());
    const Result<QString> itemName = readString(member("name"), name("name"));
    if (!itemName)
        return ResultError(itemName.error());
    ReceiptReader::Position position;
    position.posnum = posnum.value();
    position.articul = articul.value();
    position.name = itemName.value();
    struct AmountMember
    {
        const char *key;
        double *field;
    };
    const AmountMember amounts[] = {
        {"quantity", &position.quantity}, {"bquant", &position.bquant}, {"sumb", &position.sumb}};
    for (const AmountMember &amount : amounts) {
        const Result<double> read = readAmount(member(amount.key), name(amount.key));
        if (!read)
            return ResultError(read.error());
        *amount.field = read.value();
    }
    return position;
}

} // namespace

Result<QSharedPointer<Document>> ReceiptReader::read(const QString &fileName)
{
    const QString origin = QStringLiteral("receipt %1").arg(fileName);
    const QFileInfo info(fileName);
    if (!info.exists())
        return failure(origin, QStringLiteral("no such file"));
    // A device or a FIFO could block or never end; a receipt is a regular file.
    if (!info.isFile())
        return failure(origin, QStringLiteral("not a regular file"));
    if (info.size() > MaxFileSize)
        return failure(origin, QStringLiteral("larger than %1 bytes").arg(MaxFileSize));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return failure(origin, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    // One byte more than the file claims shows a file that grew meanwhile, without asking
    // for a buffer of the largest size allowed on every read.
    const QByteArray bytes = file.read(qMin<qint64>(info.size(), MaxFileSize) + 1);
    if (file.error() != QFileDevice::NoError)
        return failure(origin, QStringLiteral("cannot be read: %1").arg(file.errorString()));
    if (bytes.size() > MaxFileSize)
        return failure(origin, QStringLiteral("larger than %1 bytes").arg(MaxFileSize));
    return parse(bytes, origin);
}

Result<QSharedPointer<Document>> ReceiptReader::parse(const QByteArray &json, const QString &origin)
{
    QJsonParseError parseError{};
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return failure(origin, QStringLiteral("not valid JSON: %1 at offset %2")
                                   .arg(parseError.errorString())
                                   .arg(parseError.offset));
    if (!parsed.isObject())
        return failure(origin, QStringLiteral("the receipt must be a JSON object"));
    const QJsonObject root = parsed.object();

    const Result<> members = checkMembers(root, QStringLiteral("the receipt"),
                                          {QStringLiteral("totalSum"), QStringLiteral("items")},
                                          {QStringLiteral("prepaidSum")});
    if (!members)
        return failure(origin, members.error());

    const Result<double> totalSum =
        readAmount(root.value(QStringLiteral("totalSum")), QStringLiteral("\"totalSum\""));
    if (!totalSum)
        return failure(origin, totalSum.error());
    double prepaidSum = 0.0;
    if (root.contains(QStringLiteral("prepaidSum"))) {
        const Result<double> prepaid =
            readAmount(root.value(QStringLiteral("prepaidSum")), QStringLiteral("\"prepaidSum\""));
        if (!prepaid)
            return failure(origin, prepaid.error());
        prepaidSum = prepaid.value();
    }
    if (prepaidSum > totalSum.value())
        return failure(origin, QStringLiteral("\"prepaidSum\" (%1) exceeds \"totalSum\" (%2)")
                                   .arg(prepaidSum)
                                   .arg(totalSum.value()));
    auto document = QSharedPointer<Document>::create();
    document->setTotalSum(totalSum.value());
    document->setPrepaidSum(prepaidSum);

    const QJsonValue items = root.value(QStringLiteral("items"));
    if (!items.isArray())
        return failure(origin,
                       QStringLiteral("\"items\" must be an array, not %1").arg(typeName(items)));
    const QJsonArray array = items.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("items[%1]").arg(i);
        if (!array.at(i).isObject())
            return failure(
                origin,
                QStringLiteral("%1 must be an object, not %2").arg(where, typeName(array.at(i))));
        const Result<Position> position = readPosition(array.at(i).toObject(), where);
        if (!position)
            return failure(origin, position.error());
        document->addGoodsItem(goodsItem(position.value()));
    }
    return document;
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

ResultError ReceiptReader::failure(const QString &origin, const QString &problem)
{
    return ResultError(QStringLiteral("%1: %2").arg(origin, problem));
}

} // namespace till
