#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The figures side by side with their baselines and goals, as the terminal shows them and as
// the results page keeps them.
class ResultTable
{
public:
    enum class Verdict { Met, Missed, NotRun };

    struct Row
    {
        int number = 0;
        QString figure;
        QString measured;
        QString baseline;
        QString ratio;
        QString goal;
        Verdict verdict = Verdict::NotRun;
    };

    void add(const Row &row);
    // A line of detail printed under the table, e.g. the sizes behind a growth figure.
    void addNote(int number, const QString &note);

    QString text() const;
    QString markdown() const;

    static QString millis(double nanos);
    static QString micros(double nanos);
    static QString ratioText(double ratio);

private:
    QList<Row> sortedRows() const;
    QStringList sortedNotes() const;

    QList<Row> m_rows;
    QList<QPair<int, QString>> m_notes;
};
