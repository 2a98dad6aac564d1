// The soak's checker on hand-made till records and ledgers (tests/soak/cases/*.json): each case
// holds {"description", "record", "ledger", "expected": {"discrepancies": [kinds, in the order
// found], "leftToHost": N, "leftQueued": N (0 when absent)}}.

#include "ledgerchecker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> caseFiles()
{
    std::vector<std::string> files;
    const QDir dir(QStringLiteral(SOAK_CASES_DIR));
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name))
        files.push_back(dir.filePath(name).toStdString());
    return files;
}

class SoakCheckTest : public testing::TestWithParam<std::string>
{
};

TEST(SoakCheckCases, ThereAreACleanCaseAndOnesWithDiscrepancies)
{
    EXPECT_GE(caseFiles().size(), 2u);
}

TEST_P(SoakCheckTest, FindsWhatTheCaseExpects)
{
    QFile file(QString::fromStdString(GetParam()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonParseError error{};
    const QJsonObject testCase = QJsonDocument::fromJson(file.readAll(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
    const QJsonObject expected = testCase.value(QStringLiteral("expected")).toObject();

    LedgerChecker checker(testCase.value(QStringLiteral("record")).toObject(),
                          testCase.value(QStringLiteral("ledger")).toObject());
    checker.check();

    QStringList found;
    QString reports;
    for (const LedgerChecker::Finding &finding : checker.discrepancies()) {
        found << finding.kind;
        reports += checker.describe(finding);
    }
    QStringList wanted;
    for (const QJsonValue &kind : expected.value(QStringLiteral("discrepancies")).toArray())
        wanted << kind.toString();
    EXPECT_EQ(found.join(QLatin1Char(' ')).toStdString(),
              wanted.join(QLatin1Char(' ')).toStdString())
        << reports.toStdString();
    EXPECT_EQ(checker.leftToHost().size(), expected.value(QStringLiteral("leftToHost")).toInt());
    EXPECT_EQ(checker.leftQueued().size(), expected.value(QStringLiteral("leftQueued")).toInt());
    // Every report names the seed.
    for (const LedgerChecker::Finding &finding : checker.discrepancies())
        EXPECT_NE(checker.describe(finding).indexOf(QStringLiteral("seed 42")), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoakCheckTest, testing::ValuesIn(caseFiles()),
    [](const testing::TestParamInfo<std::string> &caseInfo) {
        std::string name =
            QFileInfo(QString::fromStdString(caseInfo.param)).baseName().toStdString();
        for (char &c : name) {
            if (!isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });

} // namespace
