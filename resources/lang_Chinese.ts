<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
