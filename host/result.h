#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

// What an operation of the host stand-ins' and the tills' own code gives back: its value, or the
// text that says why it failed. Result<> (Result<void>) is for an operation with nothing to give
// but its success. A failure is built from its text with ResultError, whatever T is:
//
//     Result<int> parseAmount(const QString &text)
//     {
//         if (text.isEmpty())
//             return ResultError(QStringLiteral("no amount"));
//         return text.toInt();
//     }
//
// A success never carries a text and a failure never a value: an empty QString is a value like
// any other, and a failure whose text is empty is still a failure.
class ResultError
{
public:
    explicit ResultError(const QString &error) : m_error(error) {}
    const QString &error() const { return m_error; }

private:
    QString m_error;
};

template<typename T = void> class Result
{
public:
    Result(const T &value) : m_value(value) {}
    Result(T &&value) : m_value(std::move(value)) {}
    Result(const ResultError &failure) : m_error(failure.error()) {}

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only for a success.
    const T &value() const
    {
        Q_ASSERT(ok());
        return *m_value;
    }
    // Empty for a success.
    const QString &error() const { return m_error; }

private:
    std::optional<T> m_value;
    QString m_error;
};

template<> class Result<void>
{
public:
    Result() = default;
    Result(const ResultError &failure) : m_failed(true), m_error(failure.error()) {}

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Empty for a success.
    const QString &error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

// The success of an operation with nothing else to give.
inline const Result<> ResultOk{};
