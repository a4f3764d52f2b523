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

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QStringList files;
    bool optionsEnded = false;
    for (const QString &argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument != QLatin1String("-")) {
            return refused(QStringLiteral("无法识别的选项 \"%1\"").arg(argument));
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
