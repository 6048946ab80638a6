#include "boardoptions.h"

namespace {

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

} // namespace

CBoardCommandLine::CBoardCommandLine()
    : m_mode(QStringLiteral("mode"),
             QStringLiteral("report（默认：仅应答建立连接）、echo（也应答每条设置命令）、"
                            "quiet（从不应答）或 noisy（应答之间夹杂随机字节和长度错误的回复）"),
             QStringLiteral("mode"), QStringLiteral("report")),
      m_link(QStringLiteral("link"),
             QStringLiteral("在 <path> 处创建指向设备的符号链接，退出时删除；<path> 处已有任何东西则拒绝启动"),
             QStringLiteral("path")),
      m_noPacing(QStringLiteral("no-pacing"), QStringLiteral("不按 9600 波特的速率发送，立即写出应答")),
      m_trace(QStringLiteral("trace"), QStringLiteral("逐帧显示收发的十六进制字节、含义和校验结果")),
      m_stdio(QStringLiteral("stdio"),
              QStringLiteral("从标准输入读命令、向标准输出写应答；输入结束后发完欠下的应答再退出")),
      m_seed(QStringLiteral("seed"), QStringLiteral("noisy 模式的随机种子（0 到 4294967295）"), QStringLiteral("n"),
             QStringLiteral("1"))
{
    m_parser.setApplicationDescription(QStringLiteral(
        "虚拟三通道 PWM 调光板：在伪终端上按 Dimra 的协议收发，无需硬件即可使用和测试 Dimra。"));
    m_parser.addHelpOption();
    m_parser.addOptions({m_mode, m_link, m_noPacing, m_trace, m_stdio, m_seed});
}

bool CBoardCommandLine::Parse(const QStringList &arguments)
{
    if (!m_parser.parse(arguments)) {
        const QStringList unknown = m_parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return refuse(QStringLiteral("未知选项“%1”").arg(dashed(unknown.first())));
        // Otherwise an option that takes a value came last, without one.
        for (const QCommandLineOption *option : {&m_mode, &m_link, &m_seed})
            if (arguments.last() == dashed(option->names().first()))
                return refuse(QStringLiteral("%1 需要一个值").arg(arguments.last()));
        return refuse(m_parser.errorText());
    }
    if (m_parser.isSet(QStringLiteral("help")) || m_parser.isSet(QStringLiteral("help-all")))
        m_parser.showHelp(0);

    if (!m_parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("多余的参数“%1”：只接受选项，见 --help").arg(m_parser.positionalArguments().first()));
    for (const QCommandLineOption *option : {&m_mode, &m_link, &m_seed})
        if (m_parser.values(*option).size() > 1)
            return refuse(QStringLiteral("%1 只能给一次").arg(dashed(option->names().first())));

    const std::optional<CBoardModel::Mode> mode = CBoardModel::ParseMode(m_parser.value(m_mode));
    if (!mode)
        return refuse(QStringLiteral("--mode：未知模式“%1”，可选 report、echo、quiet、noisy").arg(m_parser.value(m_mode)));
    bool ok = false;
    const quint32 seed = m_parser.value(m_seed).toUInt(&ok);
    if (!ok)
        return refuse(QStringLiteral("--seed：“%1”不是 0 到 4294967295 之间的整数").arg(m_parser.value(m_seed)));
    if (m_parser.isSet(m_link) && m_parser.value(m_link).isEmpty())
        return refuse(QStringLiteral("--link：路径不能为空"));
    if (m_parser.isSet(m_link) && m_parser.isSet(m_stdio))
        return refuse(QStringLiteral("--link 不能与 --stdio 同用：--stdio 不创建设备"));

    m_options.mode = *mode;
    m_options.seed = seed;
    m_options.link = m_parser.value(m_link);
    m_options.paced = !m_parser.isSet(m_noPacing);
    m_options.trace = m_parser.isSet(m_trace);
    m_options.stdio = m_parser.isSet(m_stdio);
    return true;
}

bool CBoardCommandLine::refuse(const QString &error)
{
    m_strError = error;
    return false;
}
