#include "CommandLine.h"

namespace {

const QString Usage = QStringLiteral("用法: kelvo [图片文件]\n");

CommandLine refused(const QString &reason)
{
    CommandLine commandLine;
    commandLine.error = QStringLiteral("kelvo: ") + reason + QLatin1Char('\n') + Usage;
    return commandLine;
}

} // namespace

CommandLine CommandLine::parse(const QList<QByteArray> &arguments)
{
    QList<QByteArray> files;
    bool optionsEnded = false;
    for (const QByteArray &argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith('-') && argument != "-") {
            return refused(QStringLiteral("无法识别的选项 \"%1\"").arg(QString::fromLocal8Bit(argument)));
        } else {
            files << argument;
        }
    }
    if (files.size() > 1)
        return refused(QStringLiteral("一次只能打开一个图片文件,却给了 %1 个").arg(files.size()));
    CommandLine commandLine;
    if (!files.isEmpty())
        commandLine.pictureFile = files.constFirst();
    return commandLine;
}
