#include "Options.h"

#include <QStringList>

#include <limits>
#include <optional>

namespace {

constexpr int MaxJobs = 1024;

// A size as sort -S takes it: a number of bytes, or of kibibytes, mebibytes or gibibytes with K, M or G.
qint64 sizeOf(const QByteArray &text)
{
    static constexpr struct
    {
        char suffix;
        qint64 factor;
    } Units[] = {{'K', qint64(1) << 10}, {'M', qint64(1) << 20}, {'G', qint64(1) << 30}};
    QByteArray digits = text.toUpper();
    qint64 factor = 1;
    for (const auto &unit : Units) {
        if (digits.endsWith(unit.suffix)) {
            digits.chop(1);
            factor = unit.factor;
        }
    }
    bool ok = false;
    const qint64 count = digits.toLongLong(&ok);
    return ok && count > 0 && count <= std::numeric_limits<qint64>::max() / factor ? count * factor : 0;
}

// The output formats' names, as a sentence offers a choice: "bmp、jpg 或 png".
QString formatChoices()
{
    QStringList names;
    for (const PictureFormatNames &format : PictureFormatTable)
        names << QString::fromLatin1(format.name);
    const QString last = names.takeLast();
    return names.join(QStringLiteral("、")) + QStringLiteral(" 或 ") + last;
}

// Walks the arguments the way GNU tools read them: short options may be bundled (-rq) and take their value
// joined or in the next argument (-j4, -j 4); long ones take it after "=" or in the next argument; "--" ends
// the options.
class OptionReader
{
public:
    explicit OptionReader(const QList<QByteArray> &arguments)
        : m_arguments(arguments)
    {
    }

    ParsedOptions read()
    {
        while (m_next < m_arguments.size() && m_result.error.isEmpty()) {
            const QByteArray argument = m_arguments[m_next++];
            if (m_optionsEnded || argument == "-" || !argument.startsWith('-'))
                m_result.options.inputs << argument;
            else if (argument == "--")
                m_optionsEnded = true;
            else if (argument.startsWith("--"))
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
    void readLong(const QByteArray &text)
    {
        const qsizetype equals = text.indexOf('=');
        const QString name = QString::fromUtf8(equals < 0 ? text : text.left(equals));
        const std::optional<QByteArray> joined = equals < 0 ? std::nullopt : std::optional(text.mid(equals + 1));
        Options &options = m_result.options;
        const auto flag = [&](bool &field) {
            if (joined)
                m_result.error = QStringLiteral("选项“--%1”不接受参数").arg(name);
            field = true;
        };
        if (name == QLatin1String("recursive"))
            flag(options.recursive);
        else if (name == QLatin1String("relative"))
            flag(options.relative);
        else if (name == QLatin1String("verbose"))
            flag(options.verbose);
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
                 || name == QLatin1String("files-from") || name == QLatin1String("memory")
                 || name == QLatin1String("slice"))
            takeValue(name, joined ? *joined : nextValue(QStringLiteral("--") + name));
        else
            m_result.error = QStringLiteral("无法识别的选项“--%1”").arg(name);
    }

    void readShortBundle(const QByteArray &letters)
    {
        for (qsizetype i = 0; i < letters.size() && m_result.error.isEmpty(); ++i) {
            const char letter = letters[i];
            Options &options = m_result.options;
            switch (letter) {
            case 'r': options.recursive = true; break;
            case 'R': options.relative = true; break;
            case 'v': options.verbose = true; break;
            case '0': options.nulSeparated = true; break;
            case 'q': options.quiet = true; break;
            case 'h': options.help = true; break;
            case 'j':
            case 'o':
            case 'f': {
                const QByteArray rest = letters.mid(i + 1);
                const QString name = letter == 'j'   ? QStringLiteral("jobs")
                                     : letter == 'o' ? QStringLiteral("output")
                                                     : QStringLiteral("format");
                takeValue(name, rest.isEmpty() ? nextValue(QStringLiteral("-") + QLatin1Char(letter)) : rest);
                return;
            }
            default: m_result.error = QStringLiteral("无效的选项 -- %1").arg(QString::fromUtf8(letters.mid(i, 1)));
            }
        }
    }

    QByteArray nextValue(const QString &option)
    {
        if (m_next >= m_arguments.size()) {
            m_result.error = QStringLiteral("选项“%1”需要一个参数").arg(option);
            return {};
        }
        return m_arguments[m_next++];
    }

    void takeValue(const QString &name, const QByteArray &value)
    {
        if (!m_result.error.isEmpty())
            return;
        Options &options = m_result.options;
        if (name == QLatin1String("jobs")) {
            bool ok = false;
            options.jobs = value.toInt(&ok);
            if (!ok || options.jobs < 1 || options.jobs > MaxJobs)
                m_result.error = QStringLiteral("无效的并行数“%1”:应为 1 到 %2 之间的整数")
                                     .arg(QString::fromUtf8(value))
                                     .arg(MaxJobs);
        } else if (name == QLatin1String("memory")) {
            options.memory = sizeOf(value);
            if (options.memory == 0)
                m_result.error =
                    QStringLiteral("无效的内存大小“%1”:应为正整数,可带 K、M 或 G").arg(QString::fromUtf8(value));
        } else if (name == QLatin1String("slice")) {
            const QList<QByteArray> parts = value.split('/');
            bool indexOk = false;
            bool countOk = false;
            options.slice = {parts.value(0).toInt(&indexOk), parts.value(1).toInt(&countOk)};
            if (parts.size() != 2 || !indexOk || !countOk || options.slice.count < 1 || options.slice.index < 0
                || options.slice.index >= options.slice.count)
                m_result.error = QStringLiteral("无效的份额“%1”:应为 K/N,0 ≤ K < N").arg(QString::fromUtf8(value));
        } else if (name == QLatin1String("output")) {
            options.outputFolder = value;
            if (value.isEmpty())
                m_result.error = QStringLiteral("输出文件夹不能为空");
        } else if (name == QLatin1String("format")) {
            if (const std::optional<PictureFormat> format = pictureFormatCalled(value))
                options.format = *format;
            else
                m_result.error =
                    QStringLiteral("无效的输出格式“%1”:应为 %2").arg(QString::fromUtf8(value), formatChoices());
        } else {
            options.filesFrom = value;
            if (value.isEmpty())
                m_result.error = QStringLiteral("列表文件名不能为空");
        }
    }

    const QList<QByteArray> &m_arguments;
    qsizetype m_next = 0;
    bool m_optionsEnded = false;
    ParsedOptions m_result;
};

} // namespace

ParsedOptions parseOptions(const QList<QByteArray> &arguments)
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
                          "  -o, --output=文件夹     结果写入此文件夹(不存在时创建),保持文件夹输入的相对结构,\n"
                          "                          列表中的路径整个保持(去掉开头的“/”,含“..”的拒绝);\n"
                          "                          不指定时,结果写在原图旁边,名为“原名-黑白.扩展名”\n"
                          "  -R, --relative          命令行上给出的路径也像列表中的一样整个保持\n"
                          "  -f, --format=格式       输出格式:%1(默认,24 位位图)、%2 或 %3(8 位灰度)\n"
                          "  -j, --jobs=N            同时处理 N 个文件(默认:可用的处理器数)\n"
                          "      --slice=K/N         只处理输入分成 N 份后的第 K 份(K 从 0 起),供多台机器分担\n"
                          "      --memory=大小       正在处理的图片最多共用这么多内存(如 512M、2G;默认按可用内存)\n"
                          "      --overwrite         替换已存在的输出文件(默认跳过)\n"
                          "  -q, --quiet             只报告失败\n"
                          "  -v, --verbose           逐个列出跳过的文件\n"
                          "  -h, --help              显示此帮助并退出\n"
                          "      --version           显示版本信息并退出\n"
                          "\n"
                          "旁边有同名(扩展名不同)的图片,或两个输入的结果会重名时,命名为“原名-黑白-散列.扩展名”,\n"
                          "散列由文件名算出,文件名也相同时由路径算出。\n"
                          "退出状态:0 全部成功,1 有文件失败(其余文件照常写出),2 用法错误。\n"
                          "\n"
                          "示例:\n"
                          "  kelvo-gray -r -o 黑白 相册/\n"
                          "  find . -name '*.jpg' -print0 | kelvo-gray -0 --files-from - -f png\n")
        .arg(pictureFormatName(PictureFormat::Bitmap), pictureFormatName(PictureFormat::Jpeg),
             pictureFormatName(PictureFormat::Png));
}
