<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
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
        <translation>Three-channel PWM dimmer host</translation>
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
</TS>
