#include "tr.h"

#include <gtest/gtest.h>
#include <ostream>

using tr::Tr;

// Failure messages show Qt strings as text rather than as arrays of characters.
static void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

TEST(TrTest, EmptyMessageHasNoKeyNoTextAndNoArguments)
{
    const Tr empty;
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(empty.key().isEmpty());
    EXPECT_TRUE(empty.ru().isEmpty());
    EXPECT_EQ(empty, Tr());
    EXPECT_EQ(empty, Tr(QString()));
    EXPECT_EQ(empty, Tr(QString(), QString()));
}

TEST(TrTest, KeyedMessageKeepsKeyAndRussianText)
{
    const Tr message(QStringLiteral("basicPaymentProcessingPayment"),
                     QStringLiteral("Операция оплаты недоступна"));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_EQ(message.key(), QStringLiteral("basicPaymentProcessingPayment"));
    EXPECT_EQ(message.ru(), QStringLiteral("Операция оплаты недоступна"));
}

TEST(TrTest, PlainTextMessageHasNoKey)
{
    const Tr message(QStringLiteral("Нет связи"));
    EXPECT_FALSE(message.isEmpty());
    EXPECT_TRUE(message.key().isEmpty());
    EXPECT_EQ(message.ru(), QStringLiteral("Нет связи"));
}

TEST(TrTest, KeyAloneIsNotEmpty)
{
    EXPECT_FALSE(Tr(QStringLiteral("someKey"), QString()).isEmpty());
}

TEST(TrTest, ArgSubstitutesThePlaceholderAndLeavesTheOriginal)
{
    const Tr pattern(QStringLiteral("velmorError"), QStringLiteral("Ошибка сервиса: %1"));
    const Tr filled = pattern.arg(Tr(QStringLiteral("заказ не найден")));
    EXPECT_EQ(filled.ru(), QStringLiteral("Ошибка сервиса: заказ не найден"));
    EXPECT_EQ(filled.key(), QStringLiteral("velmorError"));
    EXPECT_EQ(pattern.ru(), QStringLiteral("Ошибка сервиса: %1"));
    EXPECT_FALSE(filled.isEmpty());
}

TEST(TrTest, ArgUsesTheArgumentsOwnArguments)
{
    const Tr inner =
        Tr(QStringLiteral("inner"), QStringLiteral("код %1")).arg(Tr(QStringLiteral("42")));
    const Tr outer = Tr(QStringLiteral("outer"), QStringLiteral("Ошибка (%1)")).arg(inner);
    EXPECT_EQ(outer.ru(), QStringLiteral("Ошибка (код 42)"));
}

TEST(TrTest, ArgumentsFillPlaceholdersInNumberOrder)
{
    const Tr message = Tr(QStringLiteral("k"), QStringLiteral("%2 после %1"))
                           .arg(Tr(QStringLiteral("первый")))
                           .arg(Tr(QStringLiteral("второй")));
    EXPECT_EQ(message.ru(), QStringLiteral("второй после первый"));
}

// Argument text is data: a percent sign or a marker inside it must come out as written and
// must not take the place of a later argument.
struct ArgumentTextCase
{
    const char *name;
    QString pattern;
    QStringList arguments;
    QString expected;
};

class TrArgumentTextTest : public ::testing::TestWithParam<ArgumentTextCase>
{
};

TEST_P(TrArgumentTextTest, ComesOutVerbatim)
{
    Tr message(QStringLiteral("k"), GetParam().pattern);
    for (const QString &argument : GetParam().arguments)
        message = message.arg(Tr(argument));
    EXPECT_EQ(message.ru(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TrArgumentTextTest,
    ::testing::Values(ArgumentTextCase{"Percent",
                                       QStringLiteral("Скидка %1"),
                                       {QStringLiteral("10%")},
                                       QStringLiteral("Скидка 10%")},
                      ArgumentTextCase{"MarkerInFirstArgument",
                                       QStringLiteral("Заказ %1, ответ %2"),
                                       {QStringLiteral("A%1B"), QStringLiteral("ok")},
                                       QStringLiteral("Заказ A%1B, ответ ok")},
                      ArgumentTextCase{"MarkerOfLaterArgument",
                                       QStringLiteral("%1 / %2"),
                                       {QStringLiteral("%2"), QStringLiteral("x")},
                                       QStringLiteral("%2 / x")},
                      ArgumentTextCase{"SameMarkerTwice",
                                       QStringLiteral("%1 и снова %1"),
                                       {QStringLiteral("да")},
                                       QStringLiteral("да и снова да")},
                      ArgumentTextCase{
                          "NoMarker", QStringLiteral("Готово"), {}, QStringLiteral("Готово")}),
    [](const ::testing::TestParamInfo<ArgumentTextCase> &caseInfo) { return caseInfo.param.name; });

TEST(TrTest, EqualityComparesKeyTextAndArguments)
{
    const Tr base(QStringLiteral("key"), QStringLiteral("Текст %1"));
    EXPECT_EQ(base, Tr(QStringLiteral("key"), QStringLiteral("Текст %1")));
    EXPECT_NE(base, Tr(QStringLiteral("other"), QStringLiteral("Текст %1")));
    EXPECT_NE(base, Tr(QStringLiteral("key"), QStringLiteral("Другой %1")));
    EXPECT_NE(base, Tr(QStringLiteral("Текст %1")));
    EXPECT_EQ(base.arg(Tr(QStringLiteral("a"))), base.arg(Tr(QStringLiteral("a"))));
    EXPECT_NE(base.arg(Tr(QStringLiteral("a"))), base.arg(Tr(QStringLiteral("b"))));
    EXPECT_NE(base.arg(Tr(QStringLiteral("a"))), base);
}

} // namespace
