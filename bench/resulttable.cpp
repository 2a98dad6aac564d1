#include "resulttable.h"

#include <algorithm>

namespace {

QString verdictText(ResultTable::Verdict verdict)
{
    switch (verdict) {
    case ResultTable::Verdict::Met:
        return QStringLiteral("yes");
    case ResultTable::Verdict::Missed:
        return QStringLiteral("NO");
    case ResultTable::Verdict::NotRun:
        break;
    }
    return QStringLiteral("not run");
}

QStringList cells(const ResultTable::Row &row)
{
    return {
        QString::number(row.number), row.figure, row.measured, row.baseline, row.ratio, row.goal,
        verdictText(row.verdict)};
}

const QStringList Header = {QStringLiteral("#"),        QStringLiteral("figure"),
                            QStringLiteral("measured"), QStringLiteral("baseline"),
                            QStringLiteral("ratio"),    QStringLiteral("goal"),
                            QStringLiteral("met")};

} // namespace

void ResultTable::add(const Row &row)
{
    m_rows.append(row);
}

void ResultTable::addNote(int number, const QString &note)
{
    m_notes.append({number, QStringLiteral("(%1) %2").arg(number).arg(note)});
}

QStringList ResultTable::sortedNotes() const
{
    QList<QPair<int, QString>> notes = m_notes;
    std::stable_sort(notes.begin(), notes.end(),
                     [](const QPair<int, QString> &a, const QPair<int, QString> &b) {
                         return a.first < b.first;
                     });
    QStringList texts;
    for (const QPair<int, QString> &note : notes)
        texts.append(note.second);
    return texts;
}

QList<ResultTable::Row> ResultTable::sortedRows() const
{
    QList<Row> rows = m_rows;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row &a, const Row &b) { return a.number < b.number; });
    return rows;
}

QString ResultTable::text() const
{
    QList<QStringList> lines{Header};
    for (const Row &row : sortedRows())
        lines.append(cells(row));
    QVector<int> widths(Header.size(), 0);
    for (const QStringList &line : lines) {
        for (int i = 0; i < line.size(); ++i)
            widths[i] = std::max(widths[i], line.at(i).size());
    }
    QString out;
    for (int n = 0; n < lines.size(); ++n) {
        QStringList padded;
        for (int i = 0; i < lines.at(n).size(); ++i)
            padded.append(lines.at(n).at(i).leftJustified(widths[i]));
        out += padded.join(QStringLiteral(" | ")).trimmed() + QLatin1Char('\n');
        if (n == 0) {
            QStringList rule;
            for (int width : widths)
                rule.append(QString(width, QLatin1Char('-')));
            out += rule.join(QStringLiteral("-+-")) + QLatin1Char('\n');
        }
    }
    for (const QString &note : sortedNotes())
        out += note + QLatin1Char('\n');
    return out;
}

QString ResultTable::markdown() const
{
    QString out =
        QStringLiteral("| ") + Header.join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
    out +=
        QStringLiteral("|") + QStringLiteral(" --- |").repeated(Header.size()) + QLatin1Char('\n');
    for (const Row &row : sortedRows())
        out +=
            QStringLiteral("| ") + cells(row).join(QStringLiteral(" | ")) + QStringLiteral(" |\n");
    if (!m_notes.isEmpty()) {
        out += QLatin1Char('\n');
        for (const QString &note : sortedNotes())
            out += QStringLiteral("- ") + note + QLatin1Char('\n');
    }
    return out;
}

QString ResultTable::millis(double nanos)
{
    return QString::number(nanos / 1e6, 'f', 3) + QStringLiteral(" ms");
}

QString ResultTable::micros(double nanos)
{
    return QString::number(nanos / 1e3, 'f', 1) + QStringLiteral(" µs");
}

QString ResultTable::ratioText(double ratio)
{
    return QString::number(ratio, 'f', 3);
}
