<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>MainWindow</name>
    <message>
        <source>用户名：</source>
        <translation>Username</translation>
    </message>
    <message>
        <source>密　码：</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>自动登录</source>
        <translation>Automatic logon</translation>
    </message>
    <message>
        <source>记住密码</source>
        <translation>Record password</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Login</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Config</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>服务器地址不能为空</source>
        <translation>Server address can&apos;t be empty</translation>
    </message>
    <message>
        <source>请检查服务器地址</source>
        <translation>Please check server address</translation>
    </message>
    <message>
        <source>门户页面未能打开，请检查服务器地址后重试</source>
        <translation>The portal did not open. Check the server address and try again.</translation>
    </message>
    <message>
        <source>显示模式</source>
        <translation>Display Mode</translation>
    </message>
    <message>
        <source>扩展模式</source>
        <translation>Extended</translation>
    </message>
    <message>
        <source>复制模式</source>
        <translation>Clone</translation>
    </message>
    <message>
        <source>仅主显见</source>
        <translation>Only Primary</translation>
    </message>
    <message>
        <source>仅辅显见</source>
        <translation>Only Secondary</translation>
    </message>
    <message>
        <source>服务器证书已更改</source>
        <translation>Server certificate changed</translation>
    </message>
    <message>
        <source>服务器 %1 出示的证书与记住的不同。

记住的指纹：
%2

新的指纹：
%3

只有确知服务器更换了证书时才信任新证书。</source>
        <translation>The server %1 presented a certificate that differs from the remembered one.

Remembered fingerprint:
%2

New fingerprint:
%3

Trust the new certificate only if you know that the server&apos;s certificate was replaced.</translation>
    </message>
    <message>
        <source>信任新证书</source>
        <translation>Trust the new certificate</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>服务器 %1 出示的证书与管理员设定的不符，连接已被拒绝。

设定的指纹：
%2

出示的指纹：
%3</source>
        <translation>The certificate presented by the server %1 does not match the one set by the administrator; the connection was refused.

Expected fingerprint:
%2

Presented fingerprint:
%3</translation>
    </message>
    <message>
        <source>服务器 %1 的证书不受信任，连接已被拒绝。

指纹：
%2</source>
        <translation>The certificate of the server %1 is not trusted; the connection was refused.

Fingerprint:
%2</translation>
    </message>
    <message>
        <source>服务器地址未加密（http://），严格的证书检查不允许登录</source>
        <translation>The server address is not encrypted (http://); strict certificate checking does not allow a login to it.</translation>
    </message>
    <message>
        <source>桌面</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>未安装 FreeRDP 客户端。</source>
        <translation>No FreeRDP client is installed.</translation>
    </message>
    <message>
        <source>无法连接到桌面。</source>
        <translation>Could not reach the desktop.</translation>
    </message>
    <message>
        <source>桌面拒绝了登录。</source>
        <translation>The desktop refused the logon.</translation>
    </message>
    <message>
        <source>账户已被锁定，或其密码已过期。</source>
        <translation>The account is locked or its password has expired.</translation>
    </message>
    <message>
        <source>连接已被另一个会话接管。</source>
        <translation>The connection was taken over by another session.</translation>
    </message>
    <message>
        <source>桌面因空闲结束了会话。</source>
        <translation>The desktop ended the session after it was idle.</translation>
    </message>
    <message>
        <source>与桌面的连接已断开。</source>
        <translation>The connection to the desktop broke.</translation>
    </message>
    <message>
        <source>FreeRDP 客户端意外终止（信号 %1）。</source>
        <translation>The FreeRDP client ended unexpectedly (signal %1).</translation>
    </message>
    <message>
        <source>桌面因未知原因结束（状态 %1）。</source>
        <translation>The desktop ended for an unknown reason (status %1).</translation>
    </message>
    <message>
        <source>重新连接</source>
        <translation>Reconnect</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>UrlDialog</name>
    <message>
        <source>服务器地址</source>
        <translation>Server address</translation>
    </message>
    <message>
        <source>未加密：密码以明文发送</source>
        <translation>Not encrypted: the password is sent in clear</translation>
    </message>
    <message>
        <source>设置服务器地址</source>
        <translation>Config server address</translation>
    </message>
</context>
</TS>
