#pragma once

#include <QString>

// The part of a Markdown page that a run writes: the lines between "<!-- NAME:begin -->" and
// "<!-- NAME:end -->", each marker on a line of its own. The rest of the page is written by
// hand and kept byte for byte, so a run can refresh its table in the documentation without
// anyone pasting it.
class MarkedSection
{
public:
    MarkedSection(const QString &path, const QString &name);

    // Reads the page; false when it cannot be read or lacks a marker (nothing is appended to a
    // page that has no place for the run's text).
    bool read();
    // The lines between the markers, each ending in a newline.
    QString content() const { return m_content; }
    void setContent(const QString &content);
    // Writes the page back with the new content (to a file beside it, renamed onto it).
    bool write();

    QString errorString() const { return m_error; }

private:
    static int lineAt(const QString &text, const QString &line, int from);

    QString m_path;
    QString m_begin;
    QString m_end;
    QString m_before;
    QString m_content;
    QString m_after;
    QString m_error;
};
