#include "Reporter.h"

#include "FilePaths.h"

namespace {

constexpr qint64 RedrawMilliseconds = 100;

QString clockText(qint64 seconds)
{
    return seconds >= 3600 ? QStringLiteral("%1:%2:%3")
                                 .arg(seconds / 3600)
                                 .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0'))
                           : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

Reporter::Reporter(FILE *out, bool terminal, bool quiet, bool verbose)
    : m_out(out)
    , m_terminal(terminal)
    , m_quiet(quiet)
    , m_verbose(verbose)
{
    m_clock.start();
}

void Reporter::setTotal(qsizetype total)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    m_total = total;
}

void Reporter::failed(const QByteArray &input, const FileFailure &failure)
{
    failed(input, failure.step, reasonOf(failure));
}

void Reporter::failed(const QByteArray &input, FileStep step, const QString &reason)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    ++m_failed;
    printLine(QStringLiteral("kelvo-gray: %1: %2: %3").arg(FilePaths::shown(input), stepFailedWords(step), reason));
}

void Reporter::skipped(const QByteArray &path, const QString &reason)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    ++m_skipped;
    if (m_verbose && !m_quiet)
        printLine(QStringLiteral("kelvo-gray: %1: 已跳过: %2").arg(FilePaths::shown(path), reason));
}

void Reporter::detail(const QString &line)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (m_verbose && !m_quiet)
        printLine(QStringLiteral("kelvo-gray: ") + line);
}

void Reporter::converted(qint64 pixels)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    ++m_converted;
    m_pixels += pixels;
}

void Reporter::tick()
{
    const std::lock_guard<std::mutex> guard(m_lock);
    if (!m_terminal || m_quiet)
        return;
    const qint64 now = m_clock.elapsed();
    if (m_lastDraw >= 0 && now - m_lastDraw < RedrawMilliseconds)
        return;
    m_lastDraw = now;
    drawProgress();
}

bool Reporter::finish(bool interrupted)
{
    const std::lock_guard<std::mutex> guard(m_lock);
    clearProgress();
    if (!m_quiet) {
        const QString line = QStringLiteral("%1: 转换 %2 个, 跳过 %3 个, 失败 %4 个, 用时 %5 秒")
                                 .arg(interrupted ? QStringLiteral("已中断") : QStringLiteral("完成"))
                                 .arg(m_converted)
                                 .arg(m_skipped)
                                 .arg(m_failed)
                                 .arg(double(m_clock.elapsed()) / 1000.0, 0, 'f', 1);
        std::fprintf(m_out, "%s\n", line.toUtf8().constData());
    }
    std::fflush(m_out);
    return m_failed == 0;
}

void Reporter::printLine(const QString &line)
{
    clearProgress();
    std::fprintf(m_out, "%s\n", line.toUtf8().constData());
    std::fflush(m_out);
}

void Reporter::drawProgress()
{
    const qsizetype done = m_converted + m_failed + m_skipped;
    const double seconds = double(m_clock.elapsed()) / 1000.0;
    QString line = QStringLiteral("已完成 %1/%2, 失败 %3").arg(done).arg(m_total).arg(m_failed);
    if (seconds > 0 && m_pixels > 0)
        line += QStringLiteral(", %1 百万像素/秒").arg(double(m_pixels) / 1e6 / seconds, 0, 'f', 1);
    if (done > 0 && done < m_total)
        line += QStringLiteral(", 剩余约 %1").arg(clockText(qint64(seconds / double(done) * double(m_total - done))));
    // Back to the line's start and clear it, so a shorter line leaves nothing of the longer one before.
    std::fprintf(m_out, "\r\033[K%s", line.toUtf8().constData());
    std::fflush(m_out);
    m_progressShown = true;
}

void Reporter::clearProgress()
{
    if (!m_progressShown)
        return;
    std::fprintf(m_out, "\r\033[K");
    m_progressShown = false;
}
