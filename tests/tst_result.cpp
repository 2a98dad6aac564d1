// The promises of host/result.h, one row each: what a result was built from, and what it then
// says.

#include <result.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

Result<> passedOn(const Result<> &inner)
{
    if (!inner)
        return ResultError(QStringLiteral("queue q.sqlite: ") + inner.error());
    return ResultOk;
}

template<typename T> struct ResultCase
{
    const char *built;
    std::function<Result<T>()> make;
    bool ok;
    T value; // only for a success
    const char *error;
};

template<typename T> void expectCase(const ResultCase<T> &row)
{
    const Result<T> result = row.make();
    EXPECT_EQ(result.ok(), row.ok) << row.built;
    EXPECT_EQ(bool(result), row.ok) << row.built;
    EXPECT_EQ(result.error(), QString::fromUtf8(row.error)) << row.built;
    if (row.ok && result.ok()) {
        EXPECT_EQ(result.value(), row.value) << row.built;
    }
}

TEST(Result, CarriesAValueOrTheTextOfAFailure)
{
    // clang-format off
    const ResultCase<QString> texts[] = {
        {"a text", [] { return Result<QString>(QStringLiteral("ru")); }, true, QStringLiteral("ru"), ""},
        {"an empty text, which is a value", [] { return Result<QString>(QString()); }, true, QString(), ""},
        {"a failure", [] { return Result<QString>(ResultError(QStringLiteral("no such file"))); }, false, QString(), "no such file"},
        {"a failure without a text", [] { return Result<QString>(ResultError(QString())); }, false, QString(), ""},
    };
    const ResultCase<int> numbers[] = {
        {"zero, which is a value", [] { return Result<int>(0); }, true, 0, ""},
        {"a number", [] { return Result<int>(150000); }, true, 150000, ""},
        {"a failure", [] { return Result<int>(ResultError(QStringLiteral("amount must be positive, not 0"))); }, false, 0, "amount must be positive, not 0"},
    };
    const ResultCase<bool> flags[] = {
        {"false, which is a value", [] { return Result<bool>(false); }, true, false, ""},
        {"a failure", [] { return Result<bool>(ResultError(QStringLiteral("cannot be locked"))); }, false, false, "cannot be locked"},
    };
    // clang-format on
    for (const auto &row : texts)
        expectCase(row);
    for (const auto &row : numbers)
        expectCase(row);
    for (const auto &row : flags)
        expectCase(row);
}

struct VoidCase
{
    const char *built;
    std::function<Result<>()> make;
    bool ok;
    const char *error;
};

TEST(Result, WithoutAValueSaysOnlyWhetherItFailed)
{
    // clang-format off
    const VoidCase rows[] = {
        {"ResultOk", [] { return ResultOk; }, true, ""},
        {"an empty brace", []() -> Result<> { return {}; }, true, ""},
        {"a failure", [] { return Result<>(ResultError(QStringLiteral("--queue must name a file"))); }, false, "--queue must name a file"},
        {"a failure without a text", [] { return Result<>(ResultError(QString())); }, false, ""},
        {"a success passed on", [] { return passedOn(ResultOk); }, true, ""},
        {"a failure passed on with more said", [] { return passedOn(ResultError(QStringLiteral("disk I/O error"))); }, false, "queue q.sqlite: disk I/O error"},
    };
    // clang-format on
    for (const VoidCase &row : rows) {
        const Result<> result = row.make();
        EXPECT_EQ(result.ok(), row.ok) << row.built;
        EXPECT_EQ(bool(result), row.ok) << row.built;
        EXPECT_EQ(result.error(), QString::fromUtf8(row.error)) << row.built;
    }
}

} // namespace
