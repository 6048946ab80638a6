<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>CBoardCommandLine</name>
    <message>
        <source>report (the default: answer the open-link command only), echo (answer every setting too), quiet (never answer) or noisy (random bytes and replies of a wrong length between the answers)</source>
        <translation>report（默认：仅应答建立连接）、echo（也应答每条设置命令）、quiet（从不应答）或 noisy（应答之间夹杂随机字节和长度错误的回复）</translation>
    </message>
    <message>
        <source>keep a symbolic link to the device at &lt;path&gt;, removed on exit; anything at &lt;path&gt; already stops the board from starting</source>
        <translation>在 &lt;path&gt; 处创建指向设备的符号链接，退出时删除；&lt;path&gt; 处已有任何东西则拒绝启动</translation>
    </message>
    <message>
        <source>write answers at once instead of at 9600 baud</source>
        <translation>不按 9600 波特的速率发送，立即写出应答</translation>
    </message>
    <message>
        <source>show every frame received and sent: its bytes in hexadecimal, its meaning and checksum verdict</source>
        <translation>逐帧显示收发的十六进制字节、含义和校验结果</translation>
    </message>
    <message>
        <source>read commands from standard input and write answers to standard output; at the end of the input, send the answers still owed, then exit</source>
        <translation>从标准输入读命令、向标准输出写应答；输入结束后发完欠下的应答再退出</translation>
    </message>
    <message>
        <source>the random seed of the noisy mode (0 to 4294967295)</source>
        <translation>noisy 模式的随机种子（0 到 4294967295）</translation>
    </message>
    <message>
        <source>A virtual three-channel PWM dimmer board: it speaks Dimra&apos;s protocol on a pseudo-terminal, so that Dimra can be used and tested without the hardware.</source>
        <translation>虚拟三通道 PWM 调光板：在伪终端上按 Dimra 的协议收发，无需硬件即可使用和测试 Dimra。</translation>
    </message>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>未知选项“%1”</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 需要一个值</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;: only options are taken, see --help</source>
        <translation>多余的参数“%1”：只接受选项，见 --help</translation>
    </message>
    <message>
        <source>%1 may be given only once</source>
        <translation>%1 只能给一次</translation>
    </message>
    <message>
        <source>--mode: unknown mode &quot;%1&quot;; the modes are report, echo, quiet and noisy</source>
        <translation>--mode：未知模式“%1”，可选 report、echo、quiet、noisy</translation>
    </message>
    <message>
        <source>--seed: &quot;%1&quot; is not a whole number from 0 to 4294967295</source>
        <translation>--seed：“%1”不是 0 到 4294967295 之间的整数</translation>
    </message>
    <message>
        <source>--link: the path is empty</source>
        <translation>--link：路径不能为空</translation>
    </message>
    <message>
        <source>--link does not go with --stdio: --stdio makes no device</source>
        <translation>--link 不能与 --stdio 同用：--stdio 不创建设备</translation>
    </message>
</context>
<context>
    <name>CBoardConsole</name>
    <message>
        <source>RX</source>
        <comment>received, in the trace</comment>
        <translation>收</translation>
    </message>
    <message>
        <source>TX</source>
        <comment>sent, in the trace</comment>
        <translation>发</translation>
    </message>
    <message>
        <source>Frequency %1 Hz  Channel 1 %2 %  Channel 2 %3 %  Channel 3 %4 %  (frames: %5 received, %6 dropped; answers not sent: %7)</source>
        <translation>频率 %1 Hz  通道1 %2 %  通道2 %3 %  通道3 %4 %  （收到 %5 帧，丢弃 %6 帧，未发出应答 %7 条）</translation>
    </message>
</context>
<context>
    <name>CBoardModel</name>
    <message>
        <source>frequency = %1 Hz</source>
        <translation>频率 = %1 Hz</translation>
    </message>
    <message>
        <source>channel %1 = %2 %</source>
        <translation>通道%1 = %2 %</translation>
    </message>
    <message>
        <source>bad checksum, dropped</source>
        <translation>校验和错误，已丢弃</translation>
    </message>
    <message>
        <source>wrong length (function code %1), dropped</source>
        <translation>长度不符（功能码 %1），已丢弃</translation>
    </message>
    <message>
        <source>unknown function code %1, dropped</source>
        <translation>未知功能码 %1，已丢弃</translation>
    </message>
    <message>
        <source>open link, checksum correct</source>
        <translation>建立连接，校验正确</translation>
    </message>
    <message>
        <source>set %1, checksum correct</source>
        <translation>设置%1，校验正确</translation>
    </message>
    <message>
        <source>report %1</source>
        <translation>报告%1</translation>
    </message>
    <message>
        <source>noise</source>
        <translation>噪声</translation>
    </message>
    <message>
        <source>reply of a wrong length</source>
        <translation>长度错误的回复</translation>
    </message>
</context>
<context>
    <name>CBoardServer</name>
    <message>
        <source>cannot create a pseudo-terminal: %1</source>
        <translation>无法创建伪终端：%1</translation>
    </message>
    <message>
        <source>%1 exists already and is left as it is; choose another path</source>
        <translation>%1 已存在，不会删除或替换它；请换一个路径</translation>
    </message>
    <message>
        <source>cannot make a symbolic link at %1: %2</source>
        <translation>无法在 %1 创建符号链接：%2</translation>
    </message>
    <message>
        <source>reading the input failed: %1</source>
        <translation>读取输入失败：%1</translation>
    </message>
    <message>
        <source>cannot open %1 again: %2</source>
        <translation>无法重新打开 %1：%2</translation>
    </message>
    <message>
        <source>writing an answer failed: %1</source>
        <translation>写出应答失败：%1</translation>
    </message>
</context>
<context>
    <name>dimra-board</name>
    <message>
        <source>--stdio: standard input is closed, so there are no commands to read</source>
        <translation>--stdio：标准输入已关闭，没有命令可读</translation>
    </message>
    <message>
        <source>--stdio: standard output is closed, so answers have nowhere to go</source>
        <translation>--stdio：标准输出已关闭，应答无处可写</translation>
    </message>
    <message>
        <source>cannot install the signal handlers</source>
        <translation>无法安装信号处理</translation>
    </message>
    <message>
        <source>Virtual dimmer board (%1 mode): %2</source>
        <translation>虚拟调光板（%1 模式）：%2</translation>
    </message>
</context>
</TS>
