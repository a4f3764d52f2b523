#pragma once

#include "errors/FileFailure.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdio>
#include <mutex>

// Tells the user how the run goes, on standard error: one line per failure (naming the file and the reason),
// skipped files counted (and listed, one a line, only when asked to be verbose), and on a terminal a progress
// line redrawn at most ten times a second. Workers report from their own threads.
class Reporter
{
public:
    Reporter(FILE *out, bool terminal, bool quiet, bool verbose);

    void setTotal(qsizetype total);
    // An input that failed: the engine's failure, worded here; or the command's own refusal of it, with its reason.
    void failed(const QByteArray &input, const FileFailure &failure);
    void failed(const QByteArray &input, FileStep step, const QString &reason);
    void skipped(const QByteArray &path, const QString &reason);
    // A line about the run itself, shown only when asked to be verbose.
    void detail(const QString &line);
    void converted(qint64 pixels);

    // Redraws the progress line when it is due; called from the main thread while workers run.
    void tick();
    // The summary line; true when nothing failed.
    bool finish(bool interrupted);

private:
    void printLine(const QString &line);
    void drawProgress();
    void clearProgress();

    FILE *m_out;
    const bool m_terminal;
    const bool m_quiet;
    const bool m_verbose;
    std::mutex m_lock;
    QElapsedTimer m_clock;
    qint64 m_lastDraw = -1;
    bool m_progressShown = false;
    qsizetype m_total = 0;
    qsizetype m_converted = 0;
    qsizetype m_failed = 0;
    qsizetype m_skipped = 0;
    qint64 m_pixels = 0;
};
