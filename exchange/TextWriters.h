#pragma once

#include "exchange/DayWriter.h"

class QIODevice;

// "テキスト": one UTF-8 file. Each day is a heading line in the entry list's
// form ("2026/12/07(月)", "（休日）" after a holiday) followed by the lines
// of its entry; a blank line stands between days.
class TextWriter final : public DayWriter
{
public:
    explicit TextWriter(QIODevice& device) : mOut(device) {}
    bool write(const DayRow& day) override;
    void finish() override { mOut.flush(); }

private:
    OutputBuffer mOut;
    bool mFirst = true;
};

// "Markdown": a "## 2026年12月7日（月）" heading per day and the entry with
// Markdown's special characters escaped, so that it renders as written:
// every line break stays a line break, blank lines and leading spaces stay.
class MarkdownWriter final : public DayWriter
{
public:
    explicit MarkdownWriter(QIODevice& device) : mOut(device) {}
    bool write(const DayRow& day) override;
    void finish() override { mOut.flush(); }

    // One line of an entry as Markdown shows it literally.
    static QString EscapeLine(const QString& line);

private:
    OutputBuffer mOut;
    bool mFirst = true;
};

// "テキスト（1日1ファイル）": one file YYYY-MM-DD.txt per day with an
// entry, holding the entry's lines, in `folder`.
class DayFilesWriter final : public DayWriter
{
public:
    explicit DayFilesWriter(const QString& folder) : mFolder(folder) {}
    bool write(const DayRow& day) override;

    static QString FileName(int key);

private:
    QString mFolder;
};
