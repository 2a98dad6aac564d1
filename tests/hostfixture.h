#pragma once

#include <QSharedPointer>
#include <QString>
#include <QTemporaryDir>
#include <document.h>
#include <log4qt/listappender.h>
#include <progressview.h>
#include <tr.h>

#include <gtest/gtest.h>

// A progress display that remembers what it was shown.
class RecordingProgress : public ProgressView
{
public:
    void setProgressValue(int value) override { values.append(value); }
    void setProgressText(const tr::Tr &message) override { texts.append(message); }

    QList<int> values;
    QList<tr::Tr> texts;
};

// Host services as a till sets them up: a fresh configuration, a session with a receipt and
// a progress display, a queue in a temporary file, and the "velmor" log captured.
class HostFixture : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // One position per call: posnum, quantity, sum; bquant defaults to the quantity.
    void addItem(int posnum, double quantity, double sum, double bquant = -1);
    void setReceipt(double total, double prepaid = 0.0);
    void removeReceipt();
    void setConfig(const QString &key, const QString &value);
    QString queuePath() const;

    // Captured lines of the "velmor" logger as "LEVEL text".
    QStringList logLines() const;
    bool logContains(const QString &text) const;

    QTemporaryDir tempDir;
    QSharedPointer<Document> document;
    RecordingProgress progress;
    Log4Qt::ListAppender appender;
};
