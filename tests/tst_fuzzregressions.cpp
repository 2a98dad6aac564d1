#include "fuzzentries.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

// Every input a fuzz target once failed on, and every seed of its corpus, replayed through
// the same entry in the ordinary build. An entry aborts on a broken invariant, which fails
// this suite as loudly as the fuzzer did.

namespace {

using Entry = int (*)(const uint8_t *, size_t);

struct Target
{
    const char *name;
    Entry entry;
};

const Target Targets[] = {
    {"fuzz_decode", fuzzDecode},
    {"fuzz_extract", fuzzExtract},
    {"fuzz_trid", fuzzTrId},
    {"fuzz_replay", fuzzReplay},
    {"fuzz_receipt", fuzzReceipt},
    {"fuzz_config", fuzzConfig},
    {"fuzz_compactjson", fuzzCompactJson},
};

struct Input
{
    std::string target;
    Entry entry;
    std::string kind;
    std::string path;
};

QString fuzzDir()
{
    return QStringLiteral(VELMOR_SOURCE_DIR "/fuzz");
}

QStringList filesIn(const QString &directory)
{
    QStringList files;
    const QFileInfoList entries = QDir(directory).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries)
        files.append(entry.absoluteFilePath());
    return files;
}

std::vector<Input> inputs()
{
    std::vector<Input> all;
    for (const Target &target : Targets) {
        for (const char *kind : {"regressions", "corpus"}) {
            const QString directory =
                QStringLiteral("%1/%2/%3")
                    .arg(fuzzDir(), QLatin1String(kind), QLatin1String(target.name));
            for (const QString &file : filesIn(directory))
                all.push_back({target.name, target.entry, kind, file.toStdString()});
        }
    }
    return all;
}

std::string testName(const testing::TestParamInfo<Input> &caseInfo)
{
    std::string name =
        caseInfo.param.target + "_" + caseInfo.param.kind + "_" +
        QFileInfo(QString::fromStdString(caseInfo.param.path)).fileName().toStdString();
    for (char &c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    }
    return name + "_" + std::to_string(caseInfo.index);
}

class FuzzInputTest : public testing::TestWithParam<Input>
{
};

TEST_P(FuzzInputTest, RunsThroughItsTarget)
{
    QFile file(QString::fromStdString(GetParam().path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << GetParam().path;
    const QByteArray data = file.readAll();
    EXPECT_EQ(
        GetParam().entry(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size())),
        0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, FuzzInputTest, testing::ValuesIn(inputs()), testName);

class FuzzTargetTest : public testing::TestWithParam<Target>
{
};

// A target without seeds would start from nothing and its replay here would test nothing.
TEST_P(FuzzTargetTest, HasASeedCorpus)
{
    EXPECT_FALSE(
        filesIn(QStringLiteral("%1/corpus/%2").arg(fuzzDir(), QLatin1String(GetParam().name)))
            .isEmpty());
}

// The entries take any bytes, the empty input and a lone byte included.
TEST_P(FuzzTargetTest, TakesTheShortestInputs)
{
    const uint8_t byte = 0xff;
    EXPECT_EQ(GetParam().entry(nullptr, 0), 0);
    EXPECT_EQ(GetParam().entry(&byte, 1), 0);
}

INSTANTIATE_TEST_SUITE_P(Fuzz, FuzzTargetTest, testing::ValuesIn(Targets),
                         [](const testing::TestParamInfo<Target> &caseInfo) {
                             return std::string(caseInfo.param.name);
                         });

} // namespace
