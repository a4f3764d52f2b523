#include "CommonDialog.h"

#include "errors/RuntimeError.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

#include <climits>

namespace {

CommonDialog::Script &script()
{
    static CommonDialog::Script instance;
    return instance;
}

bool isPlainExtension(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^\\.?[A-Za-z0-9]{1,16}$"));
    return plain.match(text).hasMatch();
}

QString suffixOfPattern(const QString &pattern)
{
    // "*.jpg" gives "jpg"; a pattern with wildcards in its extension ("*.*") gives none.
    const QString first = pattern.section(QLatin1Char(';'), 0, 0).trimmed();
    QString suffix = first.section(QLatin1Char('.'), -1);
    if (!first.contains(QLatin1Char('.')) || suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')))
        return {};
    return suffix;
}

} // namespace

void CommonDialog::setScript(Script newScript)
{
    script() = std::move(newScript);
}

CommonDialog::CommonDialog(QObject *parent)
    : QObject(parent)
{
}

void CommonDialog::ShowOpen()
{
    show(Kind::Open);
}

void CommonDialog::ShowSave()
{
    show(Kind::Save);
}

QStringList CommonDialog::nameFilters() const
{
    const QStringList fields = m_filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < fields.size(); i += 2) {
        const QString &description = fields.at(i);
        const QString pattern = i + 1 < fields.size() ? fields.at(i + 1) : description;
        // Qt takes the patterns from a trailing "(…)", or else from the whole text, and separates them by
        // blanks only: a ";" between patterns would leave one pattern that matches no file.
        const QString patterns = QString(pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString ownPatterns = QLatin1Char('(') + pattern + QLatin1Char(')');
        if (description == pattern)
            filters << patterns;
        else if (description.endsWith(ownPatterns)) // offered as given
            filters << description.chopped(ownPatterns.size()) + QLatin1Char('(') + patterns + QLatin1Char(')');
        else
            filters << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters;
}

QString CommonDialog::defaultSuffix(int filterIndex) const
{
    if (isPlainExtension(m_defaultExt))
        return m_defaultExt.startsWith(QLatin1Char('.')) ? m_defaultExt.mid(1) : m_defaultExt;
    return suffixOfPattern(patternOf(filterIndex));
}

void CommonDialog::show(Kind kind)
{
    const Answer answer = script() ? script()({kind, m_dialogTitle, nameFilters(), m_chosenPath}) : askPerson(kind);
    accept(kind, answer);
}

CommonDialog::Answer CommonDialog::askPerson(Kind kind)
{
    QFileDialog dialog(QApplication::activeWindow(), m_dialogTitle);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(kind == Kind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(kind == Kind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = nameFilters();
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!m_chosenPath.isEmpty())
        dialog.selectFile(m_chosenPath);
    if (kind == Kind::Save) {
        dialog.setDefaultSuffix(defaultSuffix(0));
        connect(&dialog, &QFileDialog::filterSelected, &dialog, [this, &dialog, filters](const QString &filter) {
            dialog.setDefaultSuffix(defaultSuffix(int(filters.indexOf(filter))));
        });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return Answer::cancel();
    return Answer::choose(dialog.selectedFiles().constFirst(), int(filters.indexOf(dialog.selectedNameFilter())));
}

void CommonDialog::accept(Kind kind, const Answer &answer)
{
    if (answer.cancelled) {
        m_fileName.clear();
        if (m_cancelError)
            throw RuntimeError(ErrorNumber::DialogCancelled);
        return;
    }
    QString path = answer.path;
    const QString suffix = kind == Kind::Save ? defaultSuffix(answer.filterIndex) : QString();
    if (!suffix.isEmpty() && QFileInfo(path).suffix().isEmpty() && !path.endsWith(QLatin1Char('.')))
        path += QLatin1Char('.') + suffix;
    m_chosenPath = path;
    if (!fitsNameBuffer(path)) {
        m_fileName.clear();
        throw RuntimeError(ErrorNumber::BufferTooSmall);
    }
    m_fileName = path;
}

bool CommonDialog::fitsNameBuffer(const QString &path) const
{
    if (m_maxFileSize >= FullPathLimit) // PATH_MAX counts the bytes of the name and its terminating zero
        return QFile::encodeName(path).size() < PATH_MAX;
    return path.size() <= m_maxFileSize;
}

QString CommonDialog::patternOf(int filterIndex) const
{
    const QStringList fields = m_filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * qsizetype(qMax(filterIndex, 0)) + 1;
    return at < fields.size() ? fields.at(at) : QString();
}
