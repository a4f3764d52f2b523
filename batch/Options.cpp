#include "Options.h"

#include <optional>

namespace {

constexpr int MaxJobs = 1024;

// Walks the arguments the way GNU tools read them: short options may be bundled (-rq) and take their value
// joined or in the next argument (-j4, -j 4); long ones take it after "=" or in the next argument; "--" ends
// the options.
class OptionReader
{
public:
    explicit OptionReader(const QStringList &arguments)
        : m_arguments(arguments)
    {
    }

    ParsedOptions read()
    {
        while (m_next < m_arguments.size() && m_result.error.isEmpty()) {
            const QString argument = m_arguments[m_next++];
            if (m_optionsEnded || argument == QLatin1String("-") || !argument.startsWith(QLatin1Char('-')))
                m_result.options.inputs << argument;
            else if (argument == QLatin1String("--"))
                m_optionsEnded = true;
            else if (argument.startsWith(QLatin1String("--")))
                readLong(argument.mid(2));
            else
                readShortBundle(argument.mid(1));
        }
        const Options &options = m_result.options;
        if (m_result.error.isEmpty() && !options.help && !options.version && options.inputs.isEmpty()
            && options.filesFrom.isEmpty())
            m_result.error = QStringLiteral("缺少要处理的图片或文件夹");
        return m_result;
    }

private:
    void readLong(const QString &text)
    {
        const qsizetype equals = text.indexOf(QLatin1Char('='));
        const QString name = equals < 0 ? text : text.left(equals);
        const std::optional<QString> joined = equals < 0 ? std::nullopt : std::optional(text.mid(equals + 1));
        Options &options = m_result.options;
        const auto flag = [&](bool &field) {
            if (joined)
                m_result.error = QStringLiteral("选项“--%1”不接受参数").arg(name);
            field = true;
        };
        if (name == QLatin1String("recursive"))
            flag(options.recursive);
        else if (name == QLatin1String("null"))
            flag(options.nulSeparated);
        else if (name == QLatin1String("overwrite"))
            flag(options.overwrite);
        else if (name == QLatin1String("quiet"))
            flag(options.quiet);
        else if (name == QLatin1String("help"))
            flag(options.help);
        else if (name == QLatin1String("version"))
            flag(options.version);
        else if (name == QLatin1String("jobs") || name == QLatin1String("output") || name == QLatin1String("format")
                 || name == QLatin1String("files-from"))
            takeValue(name, joined ? *joined : nextValue(QStringLiteral("--") + name));
        else
            m_result.error = QStringLiteral("无法识别的选项“--%1”").arg(name);
    }

    void readShortBundle(const QString &letters)
    {
        for (qsizetype i = 0; i < letters.size() && m_result.error.isEmpty(); ++i) {
            const QChar letter = letters[i];
            Options &options = m_result.options;
            switch (letter.unicode()) {
            case 'r': options.recursive = true; break;
            case '0': options.nulSeparated = true; break;
            case 'q': options.quiet = true; break;
            case 'h': options.help = true; break;
            case 'j':
            case 'o':
            case 'f': {
                const QString rest = letters.mid(i + 1);
                const QString name = letter == QLatin1Char('j')   ? QStringLiteral("jobs")
                                     : letter == QLatin1Char('o') ? QStringLiteral("output")
                                                                  : QStringLiteral("format");
                takeValue(name, rest.isEmpty() ? nextValue(QStringLiteral("-") + letter) : rest);
                return;
            }
            default: m_result.error = QStringLiteral("无效的选项 -- %1").arg(letter);
            }
        }
    }

    QString nextValue(const QString &option)
    {
        if (m_next >= m_arguments.size()) {
            m_result.error = QStringLiteral("选项“%1”需要一个参数").arg(option);
            return {};
        }
        return m_arguments[m_next++];
    }

    void takeValue(const QString &name, const QString &value)
    {
        if (!m_result.error.isEmpty())
            return;
        Options &options = m_result.options;
        if (name == QLatin1String("jobs")) {
            bool ok = false;
            options.jobs = value.toInt(&ok);
            if (!ok || options.jobs < 1 || options.jobs > MaxJobs)
                m_result.error = QStringLiteral("无效的并行数“%1”:应为 1 到 %2 之间的整数").arg(value).arg(MaxJobs);
        } else if (name == QLatin1String("output")) {
            options.outputFolder = value;
            if (value.isEmpty())
                m_result.error = QStringLiteral("输出文件夹不能为空");
        } else if (name == QLatin1String("format")) {
            if (value == QLatin1String("bmp"))
                options.format = OutputFormat::Bmp;
            else if (value == QLatin1String("jpg"))
                options.format = OutputFormat::Jpg;
            else if (value == QLatin1String("png"))
                options.format = OutputFormat::Png;
            else
                m_result.error = QStringLiteral("无效的输出格式“%1”:应为 bmp、jpg 或 png").arg(value);
        } else {
            options.filesFrom = value;
            if (value.isEmpty())
                m_result.error = QStringLiteral("列表文件名不能为空");
        }
    }

    const QStringList &m_arguments;
    qsizetype m_next = 0;
    bool m_optionsEnded = false;
    ParsedOptions m_result;
};

} // namespace

ParsedOptions parseOptions(const QStringList &arguments)
{
    return OptionReader(arguments).read();
}

QString usageText()
{
    return QStringLiteral("用法:kelvo-gray [选项] 图片或文件夹...\n"
                          "把 JPEG 和 BMP 图片去色变为黑白,与 Kelvo.图片去色黑白工具 保存的文件逐字节相同。\n"
                          "文件夹中的图片按内容识别,其他文件略过。\n"
                          "\n"
                          "  -r, --recursive         同时处理子文件夹中的图片\n"
                          "      --files-from=文件   从文件读取要处理的图片和文件夹,每行一个;“-”表示标准输入\n"
                          "  -0, --null              --files-from 的列表以 NUL 字符分隔(配合 find -print0)\n"
                          "  -o, --output=文件夹     结果写入此文件夹(不存在时创建),保持文件夹输入的相对结构;\n"
                          "                          不指定时,结果写在原图旁边,名为“原名-黑白.扩展名”\n"
                          "  -f, --format=格式       输出格式:bmp(默认,24 位位图)、jpg 或 png(8 位灰度)\n"
                          "  -j, --jobs=N            同时处理 N 个文件(默认:处理器核心数)\n"
                          "      --overwrite         覆盖已存在的输出文件(默认跳过并报告)\n"
                          "  -q, --quiet             只报告失败\n"
                          "  -h, --help              显示此帮助并退出\n"
                          "      --version           显示版本信息并退出\n"
                          "\n"
                          "退出状态:0 全部成功,1 有文件失败(其余文件照常写出),2 用法错误。\n"
                          "\n"
                          "示例:\n"
                          "  kelvo-gray -r -o 黑白 相册/\n"
                          "  find . -name '*.jpg' -print0 | kelvo-gray -0 --files-from - -f png\n");
}
