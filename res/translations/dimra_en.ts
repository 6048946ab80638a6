<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CBoardLink</name>
    <message>
        <source>%1 现在对应的是另一个设备（%2），不是断开前连接的 %3。请插回原来的适配器；如果要连接现在这个设备，请再连接一次。</source>
        <translation>%1 now opens another device (%2), not %3, which was connected before. Plug the old adapter back in, or connect once more to use this one.</translation>
    </message>
    <message>
        <source>%1 现在对应的是另一个设备（%2），不是断开前连接的 %3。请插回原来的适配器。</source>
        <translation>%1 now opens another device (%2), not %3, which was connected before. Plug the old adapter back in.</translation>
    </message>
    <message>
        <source>断开前：%1
现在：%2</source>
        <translation>Before: %1
Now: %2</translation>
    </message>
    <message>
        <source>没有端口 %1：端口是 COM1 到 COM%2，或者一个设备路径。</source>
        <translation>There is no port %1: the ports are COM1 to COM%2, or a device path.</translation>
    </message>
</context>
<context>
    <name>CDataExchange</name>
    <message>
        <source>请输入一个整数。</source>
        <translation>Please enter an integer.</translation>
    </message>
    <message>
        <source>请输入一个介于 %1 和 %2 之间的整数。</source>
        <translation>Please enter an integer between %1 and %2.</translation>
    </message>
</context>
<context>
    <name>CLinkIndicator</name>
    <message>
        <source>串口未打开</source>
        <translation>Port closed</translation>
    </message>
    <message>
        <source>串口已打开（%1），正在等待光源控制器应答……</source>
        <translation>Port open (%1), waiting for the light source controller to answer…</translation>
    </message>
    <message>
        <source>串口已打开（%1），但光源控制器没有应答，滑块的数值不会发送。请检查控制器的电源和连接线，以及所选端口是否正确。</source>
        <translation>Port open (%1), but the light source controller does not answer, so slider values are not sent. Check the controller&apos;s power and cable, and that the right port is chosen.</translation>
    </message>
    <message>
        <source>已连接光源控制器（%1）</source>
        <translation>Connected to the light source controller (%1)</translation>
    </message>
    <message>
        <source>未连接光源控制器</source>
        <translation>Not connected to the light source controller</translation>
    </message>
    <message>
        <source>正在通过 MQTT 代理连接光源控制器（%1）……</source>
        <translation>Reaching the light source controller through the MQTT broker (%1)…</translation>
    </message>
    <message>
        <source>光源控制器（%1）没有应答，滑块的数值不会发送。</source>
        <translation>The light source controller (%1) does not answer, so slider values are not sent.</translation>
    </message>
</context>
<context>
    <name>CMSComm</name>
    <message>
        <source>%1（%2）</source>
        <comment>a device and the port that names it</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1 已经打开，不能更换端口；请先断开。</source>
        <translation>%1 is open, so the port cannot change; disconnect first.</translation>
    </message>
    <message>
        <source>输入模式 %1 无效，应为 0（文本）或 1（二进制）。</source>
        <translation>Input mode %1 is not valid; it must be 0 (text) or 1 (binary).</translation>
    </message>
    <message>
        <source>串口参数“%1”无效，应写成“波特率,校验位,数据位,停止位”，例如“9600,n,8,1”。</source>
        <translation>Serial settings &quot;%1&quot; are not valid; write them as &quot;baud,parity,data bits,stop bits&quot;, for example &quot;9600,n,8,1&quot;.</translation>
    </message>
    <message>
        <source>%1 不支持串口参数“%2”：%3</source>
        <translation>%1 does not take the serial settings &quot;%2&quot;: %3</translation>
    </message>
    <message>
        <source>InputLen 不能为负数（%1）。</source>
        <translation>InputLen cannot be negative (%1).</translation>
    </message>
    <message>
        <source>RThreshold 不能为负数（%1）。</source>
        <translation>RThreshold cannot be negative (%1).</translation>
    </message>
    <message>
        <source>%1 已经打开。</source>
        <translation>%1 is open already.</translation>
    </message>
    <message>
        <source>%1 没有打开，无法发送数据。</source>
        <translation>%1 is not open, so nothing can be sent.</translation>
    </message>
    <message>
        <source>%1 没有打开，无法读取数据。</source>
        <translation>%1 is not open, so nothing can be read.</translation>
    </message>
    <message>
        <source>与串口 %1 的连接已中断。设备可能已被拔出，或对端已关闭。</source>
        <translation>The connection to serial port %1 is lost. The device may have been unplugged, or the other end closed.</translation>
    </message>
    <message>
        <source>%1 现在指向另一个设备</source>
        <translation>%1 now names another device</translation>
    </message>
    <message>
        <source>对端已挂断</source>
        <translation>the other end hung up</translation>
    </message>
</context>
<context>
    <name>CMyDimraDlg</name>
    <message>
        <source>断开光源控制器</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>关闭串口并退出(&amp;X)</source>
        <translation>Close Port and &amp;Quit</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Channel 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Channel 2</translation>
    </message>
    <message>
        <source>通道3</source>
        <translation>Channel 3</translation>
    </message>
    <message>
        <source>自动重连</source>
        <translation>Reconnect automatically</translation>
    </message>
    <message>
        <source>插回同一个适配器后，Dimra 会自动重新连接；点“%1”可以停止等待。</source>
        <translation>Dimra reconnects as soon as the same adapter is plugged back in; click &quot;%1&quot; to stop waiting.</translation>
    </message>
    <message>
        <source>dimra-mqtt 没有接受这个设置：%1</source>
        <translation>dimra-mqtt did not take this setting: %1</translation>
    </message>
</context>
<context>
    <name>CPortChoice</name>
    <message>
        <source>%1（%2）的适配器已断开。正在等待同一个适配器重新插上，插上后自动重新连接。</source>
        <translation>The adapter of %1 (%2) is gone. Waiting for the same adapter to be plugged back in, to reconnect automatically.</translation>
    </message>
    <message>
        <source>上一次重新连接没有成功：%1</source>
        <translation>The last try to reconnect failed: %1</translation>
    </message>
</context>
<context>
    <name>CPortList</name>
    <message>
        <source>COM%1 现在没有对应的设备。插上串口适配器后，这里会显示它的设备名。</source>
        <translation>COM%1 has no device now. Plug in a serial adapter and its device name shows here.</translation>
    </message>
    <message>
        <source>命令行指定的设备</source>
        <translation>the device given on the command line</translation>
    </message>
    <message>
        <source>%1
dimra-mqtt 在 MQTT 代理上提供的光源控制器</source>
        <translation>%1
A light source controller that dimra-mqtt serves on an MQTT broker</translation>
    </message>
</context>
<context>
    <name>CPortLock</name>
    <message>
        <source>串口 %1 正被其他程序占用，无法打开。请先关闭占用它的程序（例如另一个 Dimra 窗口）。</source>
        <translation>Serial port %1 is in use by another program and cannot be opened. Close the program that holds it (another Dimra window, for example) first.</translation>
    </message>
    <message>
        <source>%1：被一个正在运行的程序锁定（PID %2）</source>
        <translation>%1: locked by a running program (PID %2)</translation>
    </message>
    <message>
        <source>%1：没有指明任何进程</source>
        <translation>%1: names no process</translation>
    </message>
    <message>
        <source>%1：由 %3 上的进程 %2 持有</source>
        <translation>%1: held by process %2 on %3</translation>
    </message>
    <message>
        <source>%1：由本程序持有（PID %2）</source>
        <translation>%1: held by this program (PID %2)</translation>
    </message>
    <message>
        <source>%1：由进程 %2 持有</source>
        <translation>%1: held by process %2</translation>
    </message>
    <message>
        <source>%1：被其他程序反复占用又释放</source>
        <translation>%1: taken and given up by other programs again and again</translation>
    </message>
</context>
<context>
    <name>CPresetMenu</name>
    <message>
        <source>预设</source>
        <translation>Presets</translation>
    </message>
    <message>
        <source>删除预设</source>
        <translation>Delete preset</translation>
    </message>
    <message>
        <source>光源控制器连接并应答后才能应用预设</source>
        <translation>A preset applies once the board is connected and answers</translation>
    </message>
    <message>
        <source>（无预设）</source>
        <translation>(no presets)</translation>
    </message>
    <message>
        <source>保存当前设置为预设…</source>
        <translation>Save current settings as preset…</translation>
    </message>
    <message>
        <source>保存当前设置为预设</source>
        <translation>Save current settings as preset</translation>
    </message>
    <message>
        <source>预设名称（1 到 %1 个字符）：</source>
        <translation>Preset name (1 to %1 characters):</translation>
    </message>
    <message>
        <source>这个名称不能用：%1。</source>
        <translation>This name cannot be used: %1.</translation>
    </message>
    <message>
        <source>已有名为“%1”的预设。要替换它吗？</source>
        <translation>There is already a preset named &quot;%1&quot;. Replace it?</translation>
    </message>
    <message>
        <source>要删除预设“%1”吗？</source>
        <translation>Delete the preset &quot;%1&quot;?</translation>
    </message>
</context>
<context>
    <name>CommPort</name>
    <message>
        <source>由环境变量 %1 指定</source>
        <translation>set by the environment variable %1</translation>
    </message>
    <message>
        <source>串口设备</source>
        <translation>serial device</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <comment>a port&apos;s product and its maker</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>没有对应的设备</source>
        <translation>no device</translation>
    </message>
    <message>
        <source>（无设备）</source>
        <translation>(no device)</translation>
    </message>
    <message>
        <source>%1 没有对应的设备。请插上串口适配器，然后在端口列表中选择显示了设备名的一项。</source>
        <translation>%1 has no device. Plug in a serial adapter, then choose an entry of the port list that shows a device name.</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <comment>a port and what it opens</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>现在没有一个端口有设备。</source>
        <translation>No port has a device now.</translation>
    </message>
    <message>
        <source>现在有设备的端口：%1。</source>
        <translation>Ports with a device now: %1.</translation>
    </message>
    <message>
        <source>、</source>
        <comment>between the ports of a list</comment>
        <translation>, </translation>
    </message>
    <message>
        <source>从终端启动 Dimra 时，也可以用环境变量 %1 指定 %2 打开的设备，例如 %1=/dev/ttyUSB0。%3</source>
        <translation>When Dimra is started from a terminal, the environment variable %1 can also name the device %2 opens, for example %1=/dev/ttyUSB0. %3</translation>
    </message>
</context>
<context>
    <name>DialogTemplate</name>
    <message>
        <source>PWM调光器 v1.0 </source>
        <translation>PWM Dimmer v1.0 </translation>
    </message>
    <message>
        <source>通道1</source>
        <translation>Ch 1</translation>
    </message>
    <message>
        <source>通道2</source>
        <translation>Ch 2</translation>
    </message>
    <message>
        <source>通道3</source>
        <translation>Ch 3</translation>
    </message>
    <message>
        <source>端口选择：</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>连接光源控制器</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>频率</source>
        <translation>Freq.</translation>
    </message>
    <message>
        <source>HZ</source>
        <translation>Hz</translation>
    </message>
    <message>
        <source>Dimra 照明</source>
        <translation>Dimra Lighting</translation>
    </message>
    <message>
        <source>关于 Dimra</source>
        <translation>About Dimra</translation>
    </message>
    <message>
        <source>Dimra，1.0 版</source>
        <translation>Dimra, version 1.0</translation>
    </message>
    <message>
        <source>三通道 PWM 调光器上位机</source>
        <translation>For 3-channel PWM dimmers</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>关于 Dimra(&amp;A)...</source>
        <translation>&amp;About Dimra...</translation>
    </message>
</context>
<context>
    <name>OpenDiagnosis</name>
    <message>
        <source>无法打开串口 %1，原因未能确定。系统给出的说明见详细信息。</source>
        <translation>Cannot open serial port %1, for a reason that could not be told. The details show what the system said.</translation>
    </message>
    <message>
        <source>没有权限打开串口 %1。请把当前用户加入拥有该设备的用户组 %2（例如执行 sudo usermod -aG %2 $USER），然后重新登录。</source>
        <translation>No permission to open serial port %1. Add the current user to the device&apos;s group %2 (for example with sudo usermod -aG %2 $USER), then log in again.</translation>
    </message>
    <message>
        <source>一个目录</source>
        <translation>a directory</translation>
    </message>
    <message>
        <source>一个普通文件</source>
        <translation>a regular file</translation>
    </message>
    <message>
        <source>一个管道</source>
        <translation>a pipe</translation>
    </message>
    <message>
        <source>一个套接字</source>
        <translation>a socket</translation>
    </message>
    <message>
        <source>一个块设备</source>
        <translation>a block device</translation>
    </message>
    <message>
        <source>一个不是终端的字符设备</source>
        <translation>a character device that is not a terminal</translation>
    </message>
    <message>
        <source>以及设备路径是否写对</source>
        <translation>and that the device path is right</translation>
    </message>
    <message>
        <source>或用环境变量 %1 指定正确的设备路径</source>
        <translation>or name the right device path in the environment variable %1</translation>
    </message>
    <message>
        <source>找不到串口设备 %1。请检查设备是否已连接，%2。</source>
        <translation>Serial device %1 not found. Check that the device is connected, %2.</translation>
    </message>
    <message>
        <source>%1 不是串口设备（它是%2）。请指定串口设备的路径，例如 /dev/ttyUSB0%3。</source>
        <translation>%1 is not a serial device (it is %2). Name the path of a serial device, for example /dev/ttyUSB0%3.</translation>
    </message>
    <message>
        <source>（环境变量 %1）</source>
        <translation> in the environment variable %1</translation>
    </message>
    <message>
        <source>没有权限打开 %1：它是另一个用户的伪终端，只有那个用户可以打开它。请以那个用户的身份运行本程序。</source>
        <translation>No permission to open %1: it is another user&apos;s pseudo-terminal, and only that user may open it. Run this program as that user.</translation>
    </message>
    <message>
        <source>然后拔下适配器再插上</source>
        <translation>then unplug the adapter and plug it in again</translation>
    </message>
    <message>
        <source>然后执行 sudo udevadm trigger --subsystem-match=tty</source>
        <translation>then run sudo udevadm trigger --subsystem-match=tty</translation>
    </message>
    <message>
        <source>没有权限打开串口 %1，而且没有哪个用户组可以读写它。可以用 udev 规则把它交给在桌面登录的用户：新建文件 /etc/udev/rules.d/70-dimra.rules，写入一行 %2，%3。</source>
        <translation>No permission to open serial port %1, and no group may read and write it. A udev rule can give it to whoever is logged in at the desktop: make the file /etc/udev/rules.d/70-dimra.rules holding the line %2, %3.</translation>
    </message>
    <message>
        <source>一个不是串口的终端设备</source>
        <translation>a terminal device that is not a serial port</translation>
    </message>
    <message>
        <source>找不到串口 %1。请检查串口适配器是否已插好，并在设备管理器的“端口 (COM 和 LPT)”下查看它的 COM 编号。</source>
        <translation>Cannot find serial port %1. Check that the serial adapter is plugged in, and look up its COM number under &quot;Ports (COM &amp; LPT)&quot; in Device Manager.</translation>
    </message>
    <message>
        <source>%1 不是串口设备。请选择串口适配器的 COM 编号。</source>
        <translation>%1 is not a serial device. Choose the COM number of a serial adapter.</translation>
    </message>
    <message>
        <source>找不到串口设备 %1：它的符号链接构成循环，或一个接一个太多。请检查这些链接，%2。</source>
        <translation>Serial device %1 not found: its symbolic links form a loop, or too many follow one another. Check the links, %2.</translation>
    </message>
</context>
</TS>
