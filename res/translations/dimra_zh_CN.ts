<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en_US">
<context>
    <name>BridgeCommandLine</name>
    <message>
        <source>Puts Dimra PWM LED dimmer boards on an MQTT broker: each board&apos;s values as retained state under dimra/&lt;id&gt;/, commands from dimra/&lt;id&gt;/set, one Home Assistant light per channel and Home Assistant discovery.</source>
        <translation>把 Dimra PWM LED 调光板接到 MQTT 代理服务器上：每块调光板的数值作为保留状态发布在 dimra/&lt;id&gt;/ 下，从 dimra/&lt;id&gt;/set 接收命令，每个通道一盏 Home Assistant 灯，并提供 Home Assistant 自动发现。</translation>
    </message>
    <message>
        <source>the board&apos;s port: a device path, a /dev/serial/by-id path, or COM1 to COM%1 as in the Dimra window</source>
        <translation>调光板的端口：设备路径、/dev/serial/by-id 路径，或与 Dimra 窗口中相同的 COM1 到 COM%1</translation>
    </message>
    <message>
        <source>the board&apos;s id in topics (default: from the port&apos;s name, so that it stays across replug and reboot)</source>
        <translation>调光板在主题中的 id（默认：由端口名得出，重新插拔和重启后保持不变）</translation>
    </message>
    <message>
        <source>this bridge&apos;s own id, for its status topic and last will (default: from the host&apos;s name and the board&apos;s id, so that it stays when run again)</source>
        <translation>本桥接自己的 id，用于它的状态主题和遗嘱（默认：由主机名和调光板的 id 得出，再次运行时保持不变）</translation>
    </message>
    <message>
        <source>the broker (default localhost, port %1)</source>
        <translation>代理服务器（默认 localhost，端口 %1）</translation>
    </message>
    <message>
        <source>TLS to the broker, its certificate checked with FILE</source>
        <translation>用 TLS 连接代理服务器，用 FILE 校验其证书</translation>
    </message>
    <message>
        <source>the user name at the broker</source>
        <translation>代理服务器上的用户名</translation>
    </message>
    <message>
        <source>the password, first line of FILE</source>
        <translation>密码，即 FILE 的第一行</translation>
    </message>
    <message>
        <source>no Home Assistant discovery configs</source>
        <translation>不发布 Home Assistant 自动发现配置</translation>
    </message>
    <message>
        <source>send the values last commanded again whenever the board links, after a replug and after a restart (remembered in the broker&apos;s retained state)</source>
        <translation>每当调光板连接上时（重新插拔后、重启后）再次发送最后一次命令的数值（记在代理服务器保留的状态中）</translation>
    </message>
    <message>
        <source>Topics, for a board with id ID:</source>
        <translation>主题，对于 id 为 ID 的调光板：</translation>
    </message>
    <message>
        <source>retained {&quot;linked&quot;:true,&quot;frequency&quot;:1000,&quot;ch1&quot;:40,...}, null for a value not known yet</source>
        <translation>保留 {&quot;linked&quot;:true,&quot;frequency&quot;:1000,&quot;ch1&quot;:40,...}，尚不知道的数值为 null</translation>
    </message>
    <message>
        <source>retained {&quot;state&quot;:&quot;ON&quot;,&quot;brightness&quot;:40} (N = 1, 2, 3)</source>
        <translation>保留 {&quot;state&quot;:&quot;ON&quot;,&quot;brightness&quot;:40}（N = 1、2、3）</translation>
    </message>
    <message>
        <source>{&quot;state&quot;:&quot;ON&quot;,&quot;brightness&quot;:40,&quot;transition&quot;:2}, {&quot;state&quot;:&quot;OFF&quot;}; transition fades, in seconds</source>
        <translation>{&quot;state&quot;:&quot;ON&quot;,&quot;brightness&quot;:40,&quot;transition&quot;:2}，{&quot;state&quot;:&quot;OFF&quot;}；transition 为渐变时间，单位秒</translation>
    </message>
    <message>
        <source>retained online / offline</source>
        <translation>保留 online / offline</translation>
    </message>
    <message>
        <source>why a command was refused</source>
        <translation>命令被拒绝的原因</translation>
    </message>
    <message>
        <source>retained online / offline, the bridge&apos;s own</source>
        <translation>保留 online / offline，桥接自己的状态</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;</source>
        <translation>多余的参数“%1”</translation>
    </message>
    <message>
        <source>--%1 goes with -p; with -c the file says it</source>
        <translation>--%1 只能与 -p 同用；用 -c 时由配置文件指定</translation>
    </message>
    <message>
        <source>name the board with -p PORT, or several in a file with -c FILE</source>
        <translation>请用 -p 端口 指定调光板，或用 -c 文件 在文件中指定多块</translation>
    </message>
    <message>
        <source>--broker takes HOST or HOST:PORT with a port from 1 to 65535, not &quot;%1&quot;</source>
        <translation>--broker 的值应为 主机 或 主机:端口（端口 1 到 65535），而不是“%1”</translation>
    </message>
    <message>
        <source>--broker names no host</source>
        <translation>--broker 没有给出主机</translation>
    </message>
    <message>
        <source>Ctrl+C, closing the console or stopping the service</source>
        <translation>Ctrl+C、关闭控制台或停止服务</translation>
    </message>
    <message>
        <source>several boards and the broker from FILE (INI format; see %1)</source>
        <translation>从 FILE 读取多块调光板和代理服务器（INI 格式；见 %1）</translation>
    </message>
    <message>
        <source>Ids are 1 to %1 letters, digits, - and _.
A board that another running bridge serves is left to it.
%2 publish offline, send what waits for the lines and exit.</source>
        <translation>id 为 1 到 %1 个字母、数字、- 和 _。
另一个正在运行的桥接所服务的调光板交由它处理。
%2 会发布 offline，发送尚未发出的数据，然后退出。</translation>
    </message>
    <message>
        <source>SIGTERM or Ctrl+C</source>
        <translation>SIGTERM 或 Ctrl+C</translation>
    </message>
    <message>
        <source>an empty message: the board reports, and its state is published anew</source>
        <translation>空消息：调光板重新报告，它的状态再发布一次</translation>
    </message>
    <message>
        <source>the presets file, whose presets {&quot;preset&quot;:...} applies and Home Assistant&apos;s select offers (default: the user&apos;s file, %1)</source>
        <translation>预设文件，{&quot;preset&quot;:...} 应用其中的预设，Home Assistant 的选择框列出它们（默认：用户自己的文件，%1）</translation>
    </message>
    <message>
        <source>{&quot;frequency&quot;:2000,&quot;ch1&quot;:40}: any of the four keys; {&quot;preset&quot;:&quot;A&quot;} applies the preset A, {&quot;preset&quot;:&quot;A&quot;,&quot;transition&quot;:2} fading</source>
        <translation>{&quot;frequency&quot;:2000,&quot;ch1&quot;:40}：四个键中的任意几个；{&quot;preset&quot;:&quot;A&quot;} 应用预设 A，{&quot;preset&quot;:&quot;A&quot;,&quot;transition&quot;:2} 渐变地应用</translation>
    </message>
    <message>
        <source>retained {&quot;preset&quot;:&quot;A&quot;}, the preset last applied; null once a value has moved since</source>
        <translation>保留 {&quot;preset&quot;:&quot;A&quot;}，最后应用的预设；此后有数值变动即为 null</translation>
    </message>
</context>
<context>
    <name>CBoardCommandLine</name>
    <message>
        <source>report (the default: answer the open-link command only), echo (answer every setting too), quiet (never answer) or noisy (random bytes and replies of a wrong length between the answers)</source>
        <translation>report（默认：仅应答建立连接）、echo（也应答每条设置命令）、quiet（从不应答）或 noisy（应答之间夹杂随机字节和长度错误的回复）</translation>
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
        <source>A virtual three-channel PWM dimmer board: it speaks Dimra&apos;s protocol on a pseudo-terminal, so that Dimra can be used and tested without the hardware.</source>
        <translation>虚拟三通道 PWM 调光板：在伪终端上按 Dimra 的协议收发，无需硬件即可使用和测试 Dimra。</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot;: only options are taken, see --help</source>
        <translation>多余的参数“%1”：只接受选项，见 --help</translation>
    </message>
    <message>
        <source>--mode: unknown mode &quot;%1&quot;; the modes are report, echo, quiet and noisy</source>
        <translation>--mode：未知模式“%1”，可选 report、echo、quiet、noisy</translation>
    </message>
    <message>
        <source>--link: the path is empty</source>
        <translation>--link：路径不能为空</translation>
    </message>
    <message>
        <source>--link does not go with --stdio: --stdio makes no device</source>
        <translation>--link 不能与 --stdio 同用：--stdio 不创建设备</translation>
    </message>
    <message>
        <source>keep a symbolic link to the device at PATH, removed on exit; anything at PATH already stops the board from starting</source>
        <translation>在 PATH 处创建指向设备的符号链接，退出时删除；PATH 处已有任何东西则拒绝启动</translation>
    </message>
    <message>
        <source>the random seed of the noisy mode (0 to %1)</source>
        <translation>noisy 模式的随机种子（0 到 %1）</translation>
    </message>
    <message>
        <source>--seed: &quot;%1&quot; is not a whole number from 0 to %2</source>
        <translation>--seed：“%1”不是 0 到 %2 之间的整数</translation>
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
    <name>CBoardLinkFactory</name>
    <message>
        <source>this build of Dimra reaches no board over MQTT: it was built without libmosquitto</source>
        <translation>这个版本的 Dimra 不能通过 MQTT 连接调光板：构建时没有 libmosquitto</translation>
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
        <source>writing an answer failed: %1</source>
        <translation>写出应答失败：%1</translation>
    </message>
    <message>
        <source>cannot watch the pseudo-terminal %1: %2</source>
        <translation>无法监视伪终端 %1：%2</translation>
    </message>
</context>
<context>
    <name>CBridgeBoard</name>
    <message>
        <source>cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>%1 is open; waiting for the board</source>
        <translation>%1 已打开；正在等待调光板</translation>
    </message>
    <message>
        <source>%1 (%2) is open; waiting for the board</source>
        <translation>%1（%2）已打开；正在等待调光板</translation>
    </message>
    <message>
        <source>%1; trying again</source>
        <translation>%1；正在重试</translation>
    </message>
    <message>
        <source>the board on %1 does not answer the connect frame; check its power and cable, and that it is a Dimra board at 9600 baud</source>
        <translation>%1 上的调光板没有应答连接帧；请检查它的电源和连接线，以及它是否是 9600 波特的 Dimra 调光板</translation>
    </message>
    <message>
        <source>the board on %1 answers</source>
        <translation>%1 上的调光板已应答</translation>
    </message>
    <message>
        <source>lost the board on %1: %2 (%3)</source>
        <translation>与 %1 上的调光板的连接已丢失：%2（%3）</translation>
    </message>
    <message>
        <source>lost the board on %1: %2</source>
        <translation>与 %1 上的调光板的连接已丢失：%2</translation>
    </message>
    <message>
        <source>%1 is gone</source>
        <translation>%1 已不存在</translation>
    </message>
</context>
<context>
    <name>CCommandLine</name>
    <message>
        <source>unknown option &quot;%1&quot;</source>
        <translation>未知选项“%1”</translation>
    </message>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 需要一个值</translation>
    </message>
    <message>
        <source>%1 may be given only once</source>
        <translation>%1 只能给一次</translation>
    </message>
    <message>
        <source>Usage:</source>
        <translation>用法：</translation>
    </message>
    <message>
        <source>show this help</source>
        <translation>显示本帮助</translation>
    </message>
    <message>
        <source>show the version</source>
        <translation>显示版本</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>选项：</translation>
    </message>
    <message>
        <source>Run &quot;%1 --help&quot; for the options.</source>
        <translation>运行“%1 --help”查看可用的选项。</translation>
    </message>
</context>
<context>
    <name>CCtlRun</name>
    <message>
        <source>lost the board: %1
Check the cable or adapter, then run the command again.</source>
        <translation>与调光板的连接已丢失：%1
请检查连接线或转接器，然后重新运行命令。</translation>
    </message>
    <message>
        <source>no such port: %1
Run &quot;dimractl list&quot; to see the ports, or name the device with -p PATH.</source>
        <translation>没有这个端口：%1
运行“dimractl list”查看端口，或用 -p 路径 指定设备。</translation>
    </message>
    <message>
        <source>no permission to open the port: %1</source>
        <translation>没有权限打开端口：%1</translation>
    </message>
    <message>
        <source>the port is in use: %1</source>
        <translation>端口正被占用：%1</translation>
    </message>
    <message>
        <source>cannot open the port: %1</source>
        <translation>无法打开端口：%1</translation>
    </message>
    <message>
        <source>Check that the board is powered and connected to this port, or give it longer with -t MS.</source>
        <translation>请检查调光板是否已通电并接在这个端口上，或用 -t 毫秒 给它更长的时间。</translation>
    </message>
    <message>
        <source>cannot write to the port: %1</source>
        <translation>无法写入端口：%1</translation>
    </message>
    <message>
        <source>cannot write the output: %1</source>
        <translation>无法写出输出：%1</translation>
    </message>
    <message>
        <source>the line did not carry every frame within its time and %1 ms more; the board may not hold the new values. Check the line, then run the command again.</source>
        <translation>线路没有在应有的时间再加 %1 毫秒内送出每一帧；调光板可能没有保存新的数值。请检查线路，然后重新运行命令。</translation>
    </message>
    <message>
        <source>details: %1</source>
        <translation>详细信息：%1</translation>
    </message>
    <message>
        <source>sending failed: %1
Check the cable or adapter, then run the command again.</source>
        <translation>发送失败：%1
请检查连接线或转接器，然后重新运行命令。</translation>
    </message>
    <message>
        <source>the board on %1 did not answer within %2 ms%3.
%4</source>
        <translation>%1 上的调光板没有在 %2 毫秒内应答%3。
%4</translation>
    </message>
    <message>
        <source>; nothing was set</source>
        <translation>，没有设置任何数值</translation>
    </message>
    <message>
        <source>the board on %1 did not report its values again within %2 ms; the settings were sent but are not verified.
%3</source>
        <translation>%1 上的调光板没有在 %2 毫秒内重新报告数值；设置已发送，但没有核对。
%3</translation>
    </message>
    <message>
        <source>%1 set to %2, board reports %3</source>
        <translation>%1 设为 %2，调光板报告 %3</translation>
    </message>
    <message>
        <source>the board holds other values than were set: %1.
Check the values the board accepts, then set them again.</source>
        <translation>调光板保存的数值与设置的不同：%1。
请确认调光板接受的数值，然后重新设置。</translation>
    </message>
    <message>
        <source>; </source>
        <comment>between the values that differ</comment>
        <translation>；</translation>
    </message>
    <message>
        <source>the board did not report %1 within %2 ms; shown as unknown.</source>
        <translation>调光板没有在 %2 毫秒内报告 %1；显示为 unknown。</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the values not reported</comment>
        <translation>、</translation>
    </message>
    <message>
        <source>the line is too long: a request is at most %1 bytes</source>
        <translation>这一行太长：一个请求最多 %1 字节</translation>
    </message>
    <message>
        <source>lost the board: %1
Check the network and the broker, then run the command again.</source>
        <translation>与调光板的连接已丢失：%1
请检查网络和代理服务器，然后重新运行命令。</translation>
    </message>
    <message>
        <source>no such port: %1
Check the broker&apos;s host and port in the address, and that the broker runs.</source>
        <translation>没有这个端口：%1
请检查地址中代理服务器的主机和端口，以及代理服务器是否在运行。</translation>
    </message>
    <message>
        <source>no permission: %1
Check the user in the address, and the password in DIMRA_MQTT_PASSWORD or the file DIMRA_MQTT_PASSWORD_FILE names.</source>
        <translation>没有权限：%1
请检查地址中的用户名，以及 DIMRA_MQTT_PASSWORD 或 DIMRA_MQTT_PASSWORD_FILE 指定的文件中的密码。</translation>
    </message>
    <message>
        <source>no such port: %1</source>
        <translation>没有这个端口：%1</translation>
    </message>
    <message>
        <source>the broker did not take every setting within %1 ms; the board may not hold the new values. Check the network, then run the command again.</source>
        <translation>代理服务器没有在 %1 毫秒内收下每一项设置；调光板可能没有保存新的数值。请检查网络，然后重新运行命令。</translation>
    </message>
    <message>
        <source>no permission: %1</source>
        <translation>没有权限：%1</translation>
    </message>
    <message>
        <source>the broker at %1 did not send back what it keeps within %2 ms.
Give it longer with -t MS.</source>
        <translation>%1 上的代理服务器没有在 %2 毫秒内发回它保存的消息。
请用 -t 毫秒 给它更长的时间。</translation>
    </message>
    <message>
        <source>the bridge refused the setting: %1</source>
        <translation>桥接拒绝了这项设置：%1</translation>
    </message>
</context>
<context>
    <name>CMqttBridge</name>
    <message>
        <source>lost the broker at %1:%2: %3; trying again</source>
        <translation>与 %1:%2 上的代理服务器的连接已丢失：%3；正在重试</translation>
    </message>
    <message>
        <source>cannot connect to the broker at %1:%2: %3; trying again</source>
        <translation>无法连接 %1:%2 上的代理服务器：%3；正在重试</translation>
    </message>
    <message>
        <source>connected to the broker at %1:%2</source>
        <translation>已连接 %1:%2 上的代理服务器</translation>
    </message>
    <message>
        <source>%1 is no longer configured; its retained topics and discovery configs are emptied</source>
        <translation>%1 已不在配置中；它保留的主题和发现配置已清空</translation>
    </message>
    <message>
        <source>the command was retained by the broker; commands are carried out when they are sent, publish it without the retain flag</source>
        <translation>代理服务器保留了这条命令；命令在发送时执行，请不带 retain 标志发布</translation>
    </message>
    <message>
        <source>%1: %2; nothing was sent</source>
        <translation>%1：%2；没有发送任何数值</translation>
    </message>
    <message>
        <source>the broker did not send back what it keeps within %1 s; going on without knowing which boards other bridges serve</source>
        <translation>代理服务器在 %1 秒内没有发回它保存的消息；在不知道其他桥接服务哪些调光板的情况下继续</translation>
    </message>
    <message>
        <source>another dimra-mqtt runs as the bridge %1 and answers; give this one an id of its own with --bridge-id or bridge_id=</source>
        <translation>另一个 dimra-mqtt 正以桥接 %1 的身份运行并作出了应答；请用 --bridge-id 或 bridge_id= 给这一个指定自己的 id</translation>
    </message>
    <message>
        <source>%1 is served by the bridge %2, which runs; this bridge leaves it alone</source>
        <translation>%1 由正在运行的桥接 %2 服务；本桥接不去动它</translation>
    </message>
    <message>
        <source>no board left to serve</source>
        <translation>没有剩下要服务的调光板</translation>
    </message>
    <message>
        <source>the boards list kept for the bridge %1 is none a bridge writes (more than %2 boards, or no list); nothing it names is emptied</source>
        <translation>为桥接 %1 保存的调光板列表不是桥接会写出的列表（超过 %2 块调光板，或不是列表）；不清空其中列出的任何内容</translation>
    </message>
    <message>
        <source>a request to report is an empty message</source>
        <translation>请求报告的消息应为空消息</translation>
    </message>
</context>
<context>
    <name>CMqttClient</name>
    <message>
        <source>no answer from %1:%2 within %3 s</source>
        <translation>%1:%2 在 %3 秒内没有应答</translation>
    </message>
    <message>
        <source>cannot make an MQTT client: %1</source>
        <translation>无法创建 MQTT 客户端：%1</translation>
    </message>
    <message>
        <source>the broker refused: %1</source>
        <translation>代理服务器拒绝了连接：%1</translation>
    </message>
    <message>
        <source>the broker closed the connection</source>
        <translation>代理服务器关闭了连接</translation>
    </message>
    <message>
        <source>TLS: the broker&apos;s certificate is not made out to %1 (host name mismatch)</source>
        <translation>TLS：代理服务器的证书不是签发给 %1 的（主机名不符）</translation>
    </message>
    <message>
        <source>TLS: the broker&apos;s certificate is not trusted by the CA in %1 (untrusted certificate)</source>
        <translation>TLS：代理服务器的证书不受 %1 中的 CA 信任（证书不受信任）</translation>
    </message>
    <message>
        <source>TLS: the broker did not answer the TLS handshake; is port %1 a listener without TLS?</source>
        <translation>TLS：代理服务器没有应答 TLS 握手；端口 %1 是否是不带 TLS 的监听端口？</translation>
    </message>
    <message>
        <source>TLS: %1</source>
        <translation>TLS：%1</translation>
    </message>
    <message>
        <source>the broker refused a client without a user name (%1)</source>
        <translation>代理服务器拒绝了没有用户名的客户端（%1）</translation>
    </message>
    <message>
        <source>the broker refused the user &quot;%1&quot; or its password (%2)</source>
        <translation>代理服务器拒绝了用户“%1”或其密码（%2）</translation>
    </message>
    <message>
        <source>TLS: the broker&apos;s certificate is not trusted by the system&apos;s CAs (untrusted certificate)</source>
        <translation>TLS：代理服务器的证书不受系统 CA 信任（证书不受信任）</translation>
    </message>
</context>
<context>
    <name>CPresetFile</name>
    <message>
        <source>%1 %2 is outside %3 to %4 %5</source>
        <translation>%1 %2 超出 %3 到 %4 %5 的范围</translation>
    </message>
    <message>
        <source>the name is empty</source>
        <translation>名称为空</translation>
    </message>
    <message>
        <source>the name is %1 characters long, more than %2</source>
        <translation>名称长 %1 个字符，超过了 %2 个</translation>
    </message>
    <message>
        <source>the name holds a control character</source>
        <translation>名称中含有控制字符</translation>
    </message>
    <message>
        <source>it sets nothing; a preset sets at least one of frequency, ch1, ch2 and ch3</source>
        <translation>它没有设置任何数值；预设至少要设置 frequency、ch1、ch2、ch3 之一</translation>
    </message>
    <message>
        <source>cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 is larger than %2 bytes, far more than a presets file holds</source>
        <translation>%1 大于 %2 字节，远超过预设文件应有的大小</translation>
    </message>
    <message>
        <source>%1:%2:%3: %4</source>
        <translation>%1:%2:%3：%4</translation>
    </message>
    <message>
        <source>a presets file is one object with &quot;format&quot; and &quot;presets&quot;</source>
        <translation>预设文件应为一个含有“format”和“presets”的对象</translation>
    </message>
    <message>
        <source>there is no &quot;%1&quot;</source>
        <translation>没有“%1”</translation>
    </message>
    <message>
        <source>the file is in format %1, of a newer Dimra; this one reads format %2</source>
        <translation>文件为格式 %1，来自更新版本的 Dimra；本程序读取格式 %2</translation>
    </message>
    <message>
        <source>&quot;format&quot; is %1, not %2</source>
        <translation>“format”为 %1，而不是 %2</translation>
    </message>
    <message>
        <source>there is no &quot;%1&quot; in a presets file, only &quot;format&quot; and &quot;presets&quot;</source>
        <translation>预设文件中没有“%1”，只有“format”和“presets”</translation>
    </message>
    <message>
        <source>&quot;presets&quot; is a list in [ ]</source>
        <translation>“presets”应为 [ ] 中的列表</translation>
    </message>
    <message>
        <source>the name is taken by the preset on line %1</source>
        <translation>该名称已被第 %1 行的预设使用</translation>
    </message>
    <message>
        <source>%1:%2: preset &quot;%3&quot; is left out: %4</source>
        <translation>%1:%2：预设“%3”未被采用：%4</translation>
    </message>
    <message>
        <source>%1:%2: a preset is left out: %3</source>
        <translation>%1:%2：有一个预设未被采用：%3</translation>
    </message>
    <message>
        <source>a preset is an object in { } with a &quot;name&quot; and values</source>
        <translation>预设应为 { } 中含有“name”和数值的对象</translation>
    </message>
    <message>
        <source>it needs a &quot;name&quot; in quotes</source>
        <translation>它需要一个加引号的“name”</translation>
    </message>
    <message>
        <source>there is no value &quot;%1&quot;; a preset sets frequency, ch1, ch2 and ch3</source>
        <translation>没有数值“%1”；预设可设置 frequency、ch1、ch2 和 ch3</translation>
    </message>
    <message>
        <source>%1: %2 is not a whole number</source>
        <translation>%1：%2 不是整数</translation>
    </message>
    <message>
        <source>there is no preset &quot;%1&quot;; there are no presets</source>
        <translation>没有预设“%1”；目前没有任何预设</translation>
    </message>
    <message>
        <source>there is no preset &quot;%1&quot;; the presets are %2</source>
        <translation>没有预设“%1”；现有的预设为 %2</translation>
    </message>
    <message>
        <source>preset &quot;%1&quot;: %2; nothing was saved</source>
        <translation>预设“%1”：%2；没有保存任何内容</translation>
    </message>
    <message>
        <source>%1 would be larger than %2 bytes, far more than a presets file holds</source>
        <translation>%1 将大于 %2 字节，远超过预设文件应有的大小</translation>
    </message>
    <message>
        <source>cannot write %1: %2; the file is as it was</source>
        <translation>无法写入 %1：%2；文件保持原样</translation>
    </message>
    <message>
        <source>the presets file cannot be read, and is left as it is until it is mended: %1</source>
        <translation>无法读取预设文件，在修好之前它保持原样：%1</translation>
    </message>
    <message>
        <source>%1 is a folder, a device or a pipe, not a presets file</source>
        <translation>%1 是文件夹、设备或管道，不是预设文件</translation>
    </message>
</context>
<context>
    <name>CRemoteBoardLink</name>
    <message>
        <source>the board %1 is not open</source>
        <translation>调光板 %1 没有打开</translation>
    </message>
    <message>
        <source>The broker at %1 has not answered yet.</source>
        <translation>%1 上的代理服务器还没有应答。</translation>
    </message>
    <message>
        <source>The broker at %1 knows no board %2; &quot;dimractl list %1&quot; shows the boards it knows.</source>
        <translation>%1 上的代理服务器不知道调光板 %2；“dimractl list %1”会列出它知道的调光板。</translation>
    </message>
    <message>
        <source>No bridge serves %1 any more; start dimra-mqtt for it.</source>
        <translation>已经没有桥接为 %1 服务；请为它启动 dimra-mqtt。</translation>
    </message>
    <message>
        <source>The bridge %1 that serves %2 is not running; start it again.</source>
        <translation>为 %2 服务的桥接 %1 没有在运行；请重新启动它。</translation>
    </message>
    <message>
        <source>The bridge %1 reports %2 offline: the board does not answer it. Check the board&apos;s power and cable at the bridge&apos;s computer.</source>
        <translation>桥接 %1 报告 %2 离线：调光板没有应答它。请在桥接所在的计算机上检查调光板的电源和连接线。</translation>
    </message>
    <message>
        <source>The bridge %1 did not pass on a report of %2.</source>
        <translation>桥接 %1 没有转发 %2 的报告。</translation>
    </message>
</context>
<context>
    <name>CtlCommandLine</name>
    <message>
        <source>&quot;%1&quot; is not a whole number</source>
        <translation>“%1”不是整数</translation>
    </message>
    <message>
        <source>%1 is outside %2 to %3 %4</source>
        <translation>%1 超出 %2 到 %3 %4 的范围</translation>
    </message>
    <message>
        <source>one command at a time; &quot;%1&quot; is one too many</source>
        <translation>一次只能给一个命令；“%1”是多余的</translation>
    </message>
    <message>
        <source>-p needs a port: COM1 to COM%1 or a device path</source>
        <translation>-p 需要一个端口：COM1 到 COM%1，或设备路径</translation>
    </message>
    <message>
        <source>there is no port %1; the ports are COM1 to COM%2, or give a device path</source>
        <translation>没有端口 %1；端口为 COM1 到 COM%2，也可以给出设备路径</translation>
    </message>
    <message>
        <source>-t: %1</source>
        <translation>-t：%1</translation>
    </message>
    <message>
        <source>--%1: %2; nothing was sent</source>
        <translation>--%1：%2；没有发送任何数值</translation>
    </message>
    <message>
        <source>set needs at least one of --freq, --ch1, --ch2, --ch3</source>
        <translation>set 至少需要 --freq、--ch1、--ch2、--ch3 中的一个</translation>
    </message>
    <message>
        <source>Sets and reads a Dimra three-channel PWM LED dimmer board over its serial line (9600 baud, 8N1), as the Dimra window does.</source>
        <translation>通过串口（9600 波特，8N1）设置和读取 Dimra 三通道 PWM LED 调光板，与 Dimra 窗口的做法相同。</translation>
    </message>
    <message>
        <source>Commands:</source>
        <translation>命令：</translation>
    </message>
    <message>
        <source>print the frequency and the three duties the board reports; a value it did not report within the timeout shows as unknown</source>
        <translation>输出调光板报告的频率和三个通道的占空比；超时前没有报告的数值显示为 unknown</translation>
    </message>
    <message>
        <source>send the values named, in the order --freq, --ch1, --ch2, --ch3</source>
        <translation>按 --freq、--ch1、--ch2、--ch3 的顺序发送给出的数值</translation>
    </message>
    <message>
        <source>set the three channels to %1 %</source>
        <translation>把三个通道设为 %1 %</translation>
    </message>
    <message>
        <source>print every reply of the board as it arrives, until Ctrl+C</source>
        <translation>逐条输出调光板的每个应答，直到按下 Ctrl+C</translation>
    </message>
    <message>
        <source>hold the port and take one JSON request a line on standard input, answering each with one JSON line (see man dimractl); the Python package dimra speaks it</source>
        <translation>占用端口，从标准输入每行读取一个 JSON 请求，每个请求以一行 JSON 应答（见 man dimractl）；Python 包 dimra 就是这样与调光板通信的</translation>
    </message>
    <message>
        <source>how long to wait for the board&apos;s answer (default %1)</source>
        <translation>等待调光板应答的时间，单位毫秒（默认 %1）</translation>
    </message>
    <message>
        <source>one JSON object a line on standard output (list: one JSON array)</source>
        <translation>在标准输出上每行输出一个 JSON 对象（list：一个 JSON 数组）</translation>
    </message>
    <message>
        <source>Exit codes:</source>
        <translation>退出码：</translation>
    </message>
    <message>
        <source>show the ports as the window lists them, COM1 to COM%1 and every higher number that has a device: the device each opens, its stable name and what it is</source>
        <translation>按窗口的列法列出端口，即 COM1 到 COM%1 以及有设备的更高编号：各自打开的设备、设备的固定名称及其说明</translation>
    </message>
    <message>
        <source>show the boards the broker knows: the address of each, its id, its name, the bridge that serves it and whether it is online</source>
        <translation>列出代理服务器知道的调光板：每块的地址、id、名称、为它服务的桥接，以及是否在线</translation>
    </message>
    <message>
        <source>COM1 to COM%1, or a device path such as /dev/ttyUSB0 (default COM1; COMn opens $DIMRA_COM&lt;n&gt; when set, else what the window&apos;s COMn opens: the adapters in /dev/serial/by-id by name, then those only in /dev/serial/by-path, then built-in ports), or a board that dimra-mqtt serves: mqtt://[USER@]HOST[:PORT]/ID, mqtts:// for TLS (the password from $DIMRA_MQTT_PASSWORD or the file $DIMRA_MQTT_PASSWORD_FILE names, the CA from $DIMRA_MQTT_CAFILE or the system&apos;s)</source>
        <translation>COM1 到 COM%1，或设备路径，例如 /dev/ttyUSB0（默认 COM1；设置了 $DIMRA_COM&lt;n&gt; 时 COMn 打开它指定的设备，否则打开窗口里 COMn 打开的设备：先按名称排列 /dev/serial/by-id 中的转接器，再是只在 /dev/serial/by-path 中的，最后是内置串口），或 dimra-mqtt 服务的调光板：mqtt://[用户@]主机[:端口]/ID，TLS 用 mqtts://（密码取自 $DIMRA_MQTT_PASSWORD 或 $DIMRA_MQTT_PASSWORD_FILE 指定的文件，CA 取自 $DIMRA_MQTT_CAFILE 或系统的 CA）</translation>
    </message>
    <message>
        <source>list: %1</source>
        <translation>list：%1</translation>
    </message>
    <message>
        <source>-p: %1</source>
        <translation>-p：%1</translation>
    </message>
    <message>
        <source>show the presets of the user&apos;s presets file, one a line: the name, then the frequency and the duties it sets, - for a value it leaves as it is</source>
        <translation>列出用户预设文件中的预设，每行一个：名称，然后是它设置的频率和各通道占空比，不改变的数值显示为 -</translation>
    </message>
    <message>
        <source>show the values the preset sets</source>
        <translation>显示预设设置的数值</translation>
    </message>
    <message>
        <source>save the values given with --freq, --ch1, --ch2, --ch3 as the preset, or with --from-board those the board reports, in place of a preset of that name</source>
        <translation>把 --freq、--ch1、--ch2、--ch3 给出的数值，或用 --from-board 时调光板报告的数值，保存为该预设，取代同名的预设</translation>
    </message>
    <message>
        <source>delete the preset</source>
        <translation>删除该预设</translation>
    </message>
    <message>
        <source>set the preset&apos;s values as set would set them</source>
        <translation>像 set 那样设置预设中的数值</translation>
    </message>
    <message>
        <source>set, preset save: PWM frequency, %1 to %2</source>
        <translation>set、preset save：PWM 频率，%1 到 %2</translation>
    </message>
    <message>
        <source>set, preset save: duty of channel %1 in percent, %2 to %3</source>
        <translation>set、preset save：通道 %1 的占空比（百分比），%2 到 %3</translation>
    </message>
    <message>
        <source>preset save: the values the board on the port reports</source>
        <translation>preset save：使用端口上调光板报告的数值</translation>
    </message>
    <message>
        <source>set, preset apply: ask the board to report again and compare</source>
        <translation>set、preset apply：让调光板重新报告并比较</translation>
    </message>
    <message>
        <source>Settings go out only after the board has answered the connect frame.
Values out of range are refused before the port is opened.
The presets are kept in $XDG_CONFIG_HOME/dimra/presets.json (~/.config/dimra/presets.json by default; on Windows %APPDATA%\Dimra\presets.json), or in the file DIMRA_PRESETS names.</source>
        <translation>调光板应答连接帧之后才会发送设置。
超出范围的数值在打开端口之前就被拒绝。
预设保存在 $XDG_CONFIG_HOME/dimra/presets.json（默认为 ~/.config/dimra/presets.json；Windows 上为 %APPDATA%\Dimra\presets.json），或 DIMRA_PRESETS 指定的文件中。</translation>
    </message>
    <message>
        <source>Stopped by SIGINT, SIGTERM or SIGHUP, or by a reader of its output that has gone, it lets what it sent reach the board, closes and unlocks the port, and ends by that signal (SIGPIPE for the reader; a shell shows 128 + its number: 130 after Ctrl+C).

Examples:
  dimractl list
  dimractl -p /dev/ttyUSB0 set --freq 2000 --ch1 40 --verify
  dimractl --json get
  dimractl list mqtt://broker.lab
  dimractl -p mqtt://broker.lab/bench get
  dimractl preset save &quot;Part A&quot; --freq 20000 --ch1 40 --ch2 60
  dimractl -p COM3 preset apply &quot;Part A&quot; --verify</source>
        <translation>收到 SIGINT、SIGTERM 或 SIGHUP，或者读取其输出的一方已经离开时，先让已发送的数据到达调光板，再关闭并解锁端口，然后以该信号结束（读取方离开时为 SIGPIPE；shell 显示 128 加信号编号：按 Ctrl+C 后为 130）。

示例：
  dimractl list
  dimractl -p /dev/ttyUSB0 set --freq 2000 --ch1 40 --verify
  dimractl --json get
  dimractl list mqtt://broker.lab
  dimractl -p mqtt://broker.lab/bench get
  dimractl preset save &quot;Part A&quot; --freq 20000 --ch1 40 --ch2 60
  dimractl -p COM3 preset apply &quot;Part A&quot; --verify</translation>
    </message>
    <message>
        <source>no command given (list, get, set, off, monitor, session or preset)</source>
        <translation>没有给出命令（list、get、set、off、monitor、session 或 preset）</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot; (list, get, set, off, monitor, session or preset)</source>
        <translation>未知命令“%1”（可用 list、get、set、off、monitor、session 或 preset）</translation>
    </message>
    <message>
        <source>preset needs list, show, save, delete or apply</source>
        <translation>preset 需要 list、show、save、delete 或 apply</translation>
    </message>
    <message>
        <source>unknown preset command &quot;%1&quot; (list, show, save, delete or apply)</source>
        <translation>未知的 preset 命令“%1”（可用 list、show、save、delete 或 apply）</translation>
    </message>
    <message>
        <source>preset %1 needs the preset&apos;s name</source>
        <translation>preset %1 需要预设的名称</translation>
    </message>
    <message>
        <source>preset %1 takes one name; &quot;%2&quot; is one too many (put a name with spaces in quotes)</source>
        <translation>preset %1 只接受一个名称；“%2”是多余的（含空格的名称请加引号）</translation>
    </message>
    <message>
        <source>--%1 goes with set and preset save only</source>
        <translation>--%1 只能与 set 和 preset save 同用</translation>
    </message>
    <message>
        <source>--verify goes with set and preset apply only</source>
        <translation>--verify 只能与 set 和 preset apply 同用</translation>
    </message>
    <message>
        <source>--from-board goes with preset save only</source>
        <translation>--from-board 只能与 preset save 同用</translation>
    </message>
    <message>
        <source>preset save takes either values (--freq, --ch1, --ch2, --ch3) or --from-board</source>
        <translation>preset save 需要数值（--freq、--ch1、--ch2、--ch3）或 --from-board，二者取其一</translation>
    </message>
</context>
<context>
    <name>CtlExitCodes</name>
    <message>
        <source>done; every frame has left the computer</source>
        <translation>完成；每一帧都已离开计算机</translation>
    </message>
    <message>
        <source>the port is in use by another program (the Dimra window, for example)</source>
        <translation>端口正被其他程序占用（例如 Dimra 窗口）</translation>
    </message>
    <message>
        <source>--verify found a different value</source>
        <translation>--verify 发现数值不同</translation>
    </message>
    <message>
        <source>I/O error, or the device or the broker was lost</source>
        <translation>输入输出错误，或设备或代理服务器丢失</translation>
    </message>
    <message>
        <source>bad usage, a value out of range, or a setting the bridge refused</source>
        <translation>用法错误、数值超出范围，或桥接拒绝了设置</translation>
    </message>
    <message>
        <source>no such port, or a broker that cannot be reached</source>
        <translation>没有这个端口，或无法连接代理服务器</translation>
    </message>
    <message>
        <source>no permission to open the port, or the broker refused the user</source>
        <translation>没有权限打开端口，或代理服务器拒绝了用户</translation>
    </message>
    <message>
        <source>the board did not answer within the timeout, or no running bridge serves it</source>
        <translation>调光板在超时前没有应答，或没有正在运行的桥接为它服务</translation>
    </message>
</context>
<context>
    <name>CtlPresets</name>
    <message>
        <source>the presets file cannot be read: %1
Mend it, then run the command again.</source>
        <translation>无法读取预设文件：%1
请修好它，然后重新运行命令。</translation>
    </message>
    <message>
        <source>preset &quot;%1&quot;: %2; nothing was asked of the board</source>
        <translation>预设“%1”：%2；没有向调光板请求任何数值</translation>
    </message>
    <message>
        <source>the presets file cannot be read, and is left as it is until it is mended: %1
Nothing was asked of the board.</source>
        <translation>无法读取预设文件，在修好之前它保持原样：%1
没有向调光板请求任何数值。</translation>
    </message>
    <message>
        <source>the board did not report %1 within %2 ms; nothing was saved.
Check that the board is powered and connected to this port, or give it longer with -t MS.</source>
        <translation>调光板在 %2 毫秒内没有报告 %1；没有保存任何内容。
请检查调光板是否通电并连接到这个端口，或用 -t MS 给它更长的时间。</translation>
    </message>
    <message>
        <source>, </source>
        <comment>between the values not reported</comment>
        <translation>、</translation>
    </message>
</context>
<context>
    <name>CtlRequest</name>
    <message>
        <source>a request is one JSON object on a line: %1</source>
        <translation>请求应为一行一个 JSON 对象：%1</translation>
    </message>
    <message>
        <source>%1 takes no &quot;%2&quot;</source>
        <translation>%1 不接受“%2”</translation>
    </message>
    <message>
        <source>&quot;verify&quot; is true or false</source>
        <translation>“verify”应为 true 或 false</translation>
    </message>
    <message>
        <source>set needs &quot;values&quot; with at least one of frequency, ch1, ch2, ch3</source>
        <translation>set 需要“values”，其中至少有 frequency、ch1、ch2、ch3 之一</translation>
    </message>
    <message>
        <source>there is no value &quot;%1&quot;; the values are frequency, ch1, ch2 and ch3</source>
        <translation>没有数值“%1”；可用的数值是 frequency、ch1、ch2 和 ch3</translation>
    </message>
    <message>
        <source>%1: %2 is not a number; nothing was sent</source>
        <translation>%1：%2 不是数字；没有发送任何数值</translation>
    </message>
    <message>
        <source>%1: %2; nothing was sent</source>
        <translation>%1：%2；没有发送任何数值</translation>
    </message>
    <message>
        <source>watch needs &quot;on&quot;: true or false</source>
        <translation>watch 需要“on”：true 或 false</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is given twice; a request names each key once</source>
        <translation>“%1”出现了两次；一个请求中每个键只能出现一次</translation>
    </message>
    <message>
        <source>%1: &quot;%2&quot; is not a whole number; nothing was sent</source>
        <translation>%1：“%2”不是整数；没有发送任何数值</translation>
    </message>
    <message>
        <source>&quot;op&quot; is one of set, get, off, watch, close and preset, not %1</source>
        <translation>“op”应为 set、get、off、watch、close 或 preset，而不是 %1</translation>
    </message>
    <message>
        <source>preset needs &quot;name&quot;, the preset&apos;s name in quotes</source>
        <translation>preset 需要“name”，即加引号的预设名称</translation>
    </message>
</context>
<context>
    <name>DimraCommandLine</name>
    <message>
        <source>unexpected argument &quot;%1&quot;; a port goes with --port</source>
        <translation>多余的参数“%1”；端口要写在 --port 后面</translation>
    </message>
    <message>
        <source>--port needs a port: COM1 to COM%1 or a device path</source>
        <translation>--port 需要一个端口：COM1 到 COM%1，或者设备路径</translation>
    </message>
    <message>
        <source>there is no port %1; the ports are COM1 to COM%2, or give a device path</source>
        <translation>没有端口 %1；端口为 COM1 到 COM%2，也可以给出设备路径</translation>
    </message>
    <message>
        <source>Opens the Dimra window, which sets a three-channel PWM LED dimmer board over its serial line (9600 baud, 8N1).</source>
        <translation>打开 Dimra 窗口，通过串口（9600 波特，8N1）设置三通道 PWM LED 调光板。</translation>
    </message>
    <message>
        <source>connect to that port at start, as a click on Connect does</source>
        <translation>启动时连接这个端口，和点“连接光源控制器”一样</translation>
    </message>
    <message>
        <source>Qt&apos;s own options, such as -style, work as in any Qt program.</source>
        <translation>Qt 自己的选项（例如 -style）和在其他 Qt 程序里一样可用。</translation>
    </message>
    <message>
        <source>select PORT at start: COM1 to COM%1, a device path such as /dev/ttyUSB0, or a board that dimra-mqtt serves: mqtt://[USER@]HOST[:PORT]/ID, mqtts:// for TLS (default: the adapter or board the window last linked on, else COM1)</source>
        <translation>启动时选中这个端口：COM1 到 COM%1，设备路径（例如 /dev/ttyUSB0），或 dimra-mqtt 服务的调光板：mqtt://[用户@]主机[:端口]/ID，TLS 用 mqtts://（默认：窗口上次连接过的适配器或调光板，没有时为 COM1）</translation>
    </message>
    <message>
        <source>--port: %1</source>
        <translation>--port：%1</translation>
    </message>
</context>
<context>
    <name>DimraMqtt</name>
    <message>
        <source>no board to serve; name one with -p PORT or in a [board.NAME] section</source>
        <translation>没有要服务的调光板；请用 -p 端口 或在 [board.NAME] 节中指定</translation>
    </message>
    <message>
        <source>cannot read the password file %1: %2</source>
        <translation>无法读取密码文件 %1：%2</translation>
    </message>
    <message>
        <source>%1: unknown key &quot;%2&quot; in [%3]</source>
        <translation>%1：[%3] 中有未知的键“%2”</translation>
    </message>
    <message>
        <source>%1: [%2] %3 must be %4</source>
        <translation>%1：[%2] 的 %3 必须是%4</translation>
    </message>
    <message>
        <source>a number from 1 to 65535</source>
        <translation> 1 到 65535 之间的数</translation>
    </message>
    <message>
        <source>true or false</source>
        <translation> true 或 false</translation>
    </message>
    <message>
        <source>%1: [%2] has no port</source>
        <translation>%1：[%2] 没有端口</translation>
    </message>
    <message>
        <source>the payload has %1 bytes; a command has at most %2</source>
        <translation>消息有 %1 字节；一条命令最多 %2 字节</translation>
    </message>
    <message>
        <source>the payload is not JSON (%1 at byte %2)</source>
        <translation>消息不是 JSON（第 %2 字节处%1）</translation>
    </message>
    <message>
        <source>the payload is not a JSON object</source>
        <translation>消息不是 JSON 对象</translation>
    </message>
    <message>
        <source>%1 must be a whole number</source>
        <translation>%1 必须是整数</translation>
    </message>
    <message>
        <source>%1: %2 is outside %3 to %4</source>
        <translation>%1：%2 超出 %3 到 %4 的范围</translation>
    </message>
    <message>
        <source>nothing to set; the keys are frequency, ch1, ch2 and ch3</source>
        <translation>没有要设置的数值；可用的键为 frequency、ch1、ch2 和 ch3</translation>
    </message>
    <message>
        <source>state must be &quot;ON&quot; or &quot;OFF&quot;</source>
        <translation>state 必须是“ON”或“OFF”</translation>
    </message>
    <message>
        <source>Channel %1</source>
        <translation>通道 %1</translation>
    </message>
    <message>
        <source>PWM frequency</source>
        <translation>PWM 频率</translation>
    </message>
    <message>
        <source>1 to %1 letters, digits, - and _</source>
        <translation>1 到 %1 个字母、数字、- 和 _</translation>
    </message>
    <message>
        <source>names no id</source>
        <translation>没有给出 id</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a board id: %2, and not &quot;bridge&quot;</source>
        <translation>“%1”不能作为调光板的 id：须为 %2，且不能是“bridge”</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot be a bridge id: %2</source>
        <translation>“%1”不能作为桥接的 id：须为 %2</translation>
    </message>
    <message>
        <source>%1 boards; one bridge serves at most %2</source>
        <translation>%1 块调光板；一个桥接最多服务 %2 块</translation>
    </message>
    <message>
        <source>%1: a second board with the id &quot;%2&quot;; the first is at %3</source>
        <translation>%1：第二块 id 为“%2”的调光板；第一块在 %3</translation>
    </message>
    <message>
        <source>%1: there is no port %2; the ports are COM1 to COM%3, or give a device path</source>
        <translation>%1：没有端口 %2；端口为 COM1 到 COM%3，也可以给出设备路径</translation>
    </message>
    <message>
        <source>%1: the id made from the port, %2; give one with %3</source>
        <translation>%1：由端口得出的 id %2；请用 %3 给出一个</translation>
    </message>
    <message>
        <source>warning: %1 can be read by others than its owner; &quot;chmod go-rwx %1&quot; keeps it to its owner</source>
        <translation>警告：除所有者外，其他人也能读取 %1；“chmod go-rwx %1”可使它只归所有者读取</translation>
    </message>
    <message>
        <source>words of letters, digits, - and _ with / between them, at most %1 characters in all</source>
        <translation>由字母、数字、- 和 _ 组成、以 / 分隔的词，总共最多 %1 个字符</translation>
    </message>
    <message>
        <source>%1:%2: unknown section [%3]; the sections are [broker], [discovery] and [board.NAME]</source>
        <translation>%1:%2：未知的节 [%3]；可用的节为 [broker]、[discovery] 和 [board.NAME]</translation>
    </message>
    <message>
        <source>%1:%2: [broker] host is empty</source>
        <translation>%1:%2：[broker] 的 host 为空</translation>
    </message>
    <message>
        <source>unknown key &quot;%1&quot;; a light takes state, brightness and transition</source>
        <translation>未知的键“%1”；灯只接受 state、brightness 和 transition</translation>
    </message>
    <message>
        <source>transition must be a number of seconds from 0 to %1</source>
        <translation>transition 必须是 0 到 %1 之间的秒数</translation>
    </message>
    <message>
        <source>nothing to set; a light takes state, brightness and transition</source>
        <translation>没有要设置的数值；灯只接受 state、brightness 和 transition</translation>
    </message>
    <message>
        <source>%1 names no port</source>
        <translation>%1 没有给出端口</translation>
    </message>
    <message>
        <source>the CA file %1 is a folder or a device; name the file of the CA&apos;s certificate</source>
        <translation>CA 文件 %1 是文件夹或设备；请指定 CA 证书所在的文件</translation>
    </message>
    <message>
        <source>cannot read the CA file %1: %2</source>
        <translation>无法读取 CA 文件 %1：%2</translation>
    </message>
    <message>
        <source>the CA file %1 holds no certificate in PEM format</source>
        <translation>CA 文件 %1 中没有 PEM 格式的证书</translation>
    </message>
    <message>
        <source>%1:%2: [board.] names no board; a board&apos;s section is [board.NAME]</source>
        <translation>%1:%2：[board.] 没有给出调光板的名称；调光板的节为 [board.NAME]</translation>
    </message>
    <message>
        <source>%1: %2 is the port of the board on line %3 too; one port serves one board</source>
        <translation>%1：%2 也是第 %3 行那块调光板的端口；一个端口只服务一块调光板</translation>
    </message>
    <message>
        <source>warning: %1 can be read by %2; in an administrator&apos;s command prompt, icacls &quot;%1&quot; /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F keeps it to the administrators and SYSTEM</source>
        <translation>警告：%2 也能读取 %1；在管理员命令提示符中运行 icacls &quot;%1&quot; /inheritance:r /grant:r *S-1-5-32-544:F *S-1-5-18:F，可使它只归管理员和 SYSTEM 读取</translation>
    </message>
    <message>
        <source>unknown key &quot;%1&quot; beside &quot;preset&quot;; a preset takes only a transition with it</source>
        <translation>“preset”旁有未知的键“%1”；预设只能附带 transition</translation>
    </message>
    <message>
        <source>preset must be a preset&apos;s name in quotes</source>
        <translation>preset 必须是加引号的预设名称</translation>
    </message>
    <message>
        <source>unknown key &quot;%1&quot;; the keys are frequency, ch1, ch2 and ch3, or preset</source>
        <translation>未知的键“%1”；可用的键为 frequency、ch1、ch2 和 ch3，或 preset</translation>
    </message>
    <message>
        <source>Preset</source>
        <translation>预设</translation>
    </message>
    <message>
        <source>the presets file cannot be read, and gives no presets until it is mended: %1</source>
        <translation>无法读取预设文件，在修好之前没有任何预设：%1</translation>
    </message>
    <message numerus="yes">
        <source>%n preset(s) from %1</source>
        <translation>
            <numerusform>%1 中有 %n 个预设</numerusform>
        </translation>
    </message>
    <message>
        <source>there is no preset &quot;%1&quot;; this bridge reads no presets file (presets= in its configuration)</source>
        <translation>没有预设“%1”；此桥接不读取任何预设文件（见其配置中的 presets=）</translation>
    </message>
    <message>
        <source>there is no preset &quot;%1&quot;; the presets file cannot be read: %2</source>
        <translation>没有预设“%1”；无法读取预设文件：%2</translation>
    </message>
</context>
<context>
    <name>IniReader</name>
    <message>
        <source>the line is not UTF-8 text</source>
        <translation>该行不是 UTF-8 文本</translation>
    </message>
    <message>
        <source>the line holds the control character %1</source>
        <translation>该行含有控制字符 %1</translation>
    </message>
    <message>
        <source>%1:%2: [%3] again; it begins on line %4 too, and one section takes all its keys</source>
        <translation>%1:%2：[%3] 再次出现；它在第 %4 行也开始过，一个节应包含它的全部键</translation>
    </message>
    <message>
        <source>%1:%2: neither a [section] nor a key=value line</source>
        <translation>%1:%2：既不是 [节] 也不是 键=值 行</translation>
    </message>
    <message>
        <source>%1:%2: &quot;%3&quot; stands outside a section</source>
        <translation>%1:%2：“%3”不在任何节中</translation>
    </message>
    <message>
        <source>%1:%2: %3 again in [%4]; it is on line %5 too</source>
        <translation>%1:%2：%3 在 [%4] 中再次出现；它在第 %5 行也有</translation>
    </message>
    <message>
        <source>%1:%2: the value of %3 opens a quote that it does not close</source>
        <translation>%1:%2：%3 的值有一个未闭合的引号</translation>
    </message>
    <message>
        <source>%1:%2: the value of %3 holds the escape %4; in quotes only \&quot; and \\ are escapes</source>
        <translation>%1:%2：%3 的值含有转义 %4；引号内只有 \&quot; 和 \\ 是转义</translation>
    </message>
    <message>
        <source>cannot read the configuration file %1</source>
        <translation>无法读取配置文件 %1</translation>
    </message>
    <message>
        <source>%1 has %2 bytes; a configuration has at most %3</source>
        <translation>%1 有 %2 字节；配置文件最多 %3 字节</translation>
    </message>
</context>
<context>
    <name>JsonText</name>
    <message>
        <source>&quot;%1&quot; is given twice</source>
        <translation>“%1”出现了两次</translation>
    </message>
    <message>
        <source>%1 is not a JSON escape</source>
        <translation>%1 不是 JSON 的转义序列</translation>
    </message>
</context>
<context>
    <name>RemoteAddress</name>
    <message>
        <source>the address is not %1, or mqtts:// for TLS</source>
        <translation>地址不是 %1 的形式，TLS 则为 mqtts://</translation>
    </message>
    <message>
        <source>a password is not written in the address: give it in DIMRA_MQTT_PASSWORD, or in a file that DIMRA_MQTT_PASSWORD_FILE names</source>
        <translation>密码不能写在地址里：请用 DIMRA_MQTT_PASSWORD 给出，或写在 DIMRA_MQTT_PASSWORD_FILE 指定的文件中</translation>
    </message>
    <message>
        <source>the address names no user before its @</source>
        <translation>地址中 @ 前面没有用户名</translation>
    </message>
    <message>
        <source>the address names no broker: %1</source>
        <translation>地址中没有代理服务器：%1</translation>
    </message>
    <message>
        <source>the broker&apos;s port is a number from 1 to 65535</source>
        <translation>代理服务器的端口是 1 到 65535 之间的数</translation>
    </message>
    <message>
        <source>the address names a board; the broker&apos;s alone is mqtt://[user@]host[:port]</source>
        <translation>地址中指定了调光板；只指代理服务器时为 mqtt://[用户@]主机[:端口]</translation>
    </message>
    <message>
        <source>the address names no board: %1</source>
        <translation>地址中没有调光板：%1</translation>
    </message>
</context>
<context>
    <name>RemoteClient</name>
    <message>
        <source>cannot read the password file %1 (DIMRA_MQTT_PASSWORD_FILE): %2</source>
        <translation>无法读取密码文件 %1（DIMRA_MQTT_PASSWORD_FILE）：%2</translation>
    </message>
    <message>
        <source>the broker at %1 does not let this client in: %2</source>
        <translation>%1 上的代理服务器不允许这个客户端连接：%2</translation>
    </message>
    <message>
        <source>cannot reach the broker at %1: %2</source>
        <translation>无法连接 %1 上的代理服务器：%2</translation>
    </message>
    <message>
        <source>the broker at %1 does not let a client without a user read the boards&apos; topics</source>
        <translation>%1 上的代理服务器不允许没有用户名的客户端读取调光板的主题</translation>
    </message>
    <message>
        <source>the broker at %1 does not let the user &quot;%2&quot; read the boards&apos; topics</source>
        <translation>%1 上的代理服务器不允许用户“%2”读取调光板的主题</translation>
    </message>
    <message>
        <source>lost the broker at %1: %2</source>
        <translation>与 %1 上的代理服务器的连接已丢失：%2</translation>
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
<context>
    <name>dimra-mqtt</name>
    <message>
        <source>dimra-mqtt: cannot install the signal handlers</source>
        <translation>dimra-mqtt: 无法安装信号处理</translation>
    </message>
    <message numerus="yes">
        <source>dimra-mqtt %1: %n board(s), broker %2:%3, bridge %4</source>
        <translation>
            <numerusform>dimra-mqtt %1：%n 块调光板，代理服务器 %2:%3，桥 %4</numerusform>
        </translation>
    </message>
    <message>
        <source>stopping: publishing offline and sending what waits</source>
        <translation>正在停止：发布 offline 并发送尚未发出的数据</translation>
    </message>
    <message>
        <source>not everything got out within %1 s</source>
        <translation>%1 秒内没有全部发出</translation>
    </message>
    <message numerus="yes">
        <source>%n more command(s) refused in the last %1 s</source>
        <translation>
            <numerusform>最近 %1 秒内又拒绝了 %n 条命令</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>dimractl</name>
    <message>
        <source>cannot install the signal handlers</source>
        <translation>无法安装信号处理</translation>
    </message>
</context>
</TS>
