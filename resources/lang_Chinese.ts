<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>MainWindow</name>
    <message>
        <source>桌面</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未安装 FreeRDP 客户端。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>无法连接到桌面。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>桌面拒绝了登录。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>账户已被锁定，或其密码已过期。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>连接已被另一个会话接管。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>桌面因空闲结束了会话。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>与桌面的连接已断开。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FreeRDP 客户端意外终止（信号 %1）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>桌面因未知原因结束（状态 %1）。</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>重新连接</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>关闭</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>确定</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UrlDialog</name>
    <message>
        <source>服务器地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>设置服务器地址</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>未加密：密码以明文发送</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
