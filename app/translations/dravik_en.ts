<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>Maker</name>
    <message>
        <source>Dravik 开发组</source>
        <translation>The Dravik team</translation>
    </message>
    <message>
        <source>联系: dravik@example.org  主页: https://dravik.example.org/</source>
        <translation>Mail: dravik@example.org  Home page: https://dravik.example.org/</translation>
    </message>
</context>
<context>
    <name>TAboutBox</name>
    <message>
        <source>关于本软件</source>
        <translation>About Dravik</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>连接</source>
        <translation>Dial</translation>
    </message>
    <message>
        <source>断开</source>
        <translation>Hang up</translation>
    </message>
    <message>
        <source>邮箱</source>
        <translation>Mail</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>拨号连接：</source>
        <translation>Entry:</translation>
    </message>
    <message>
        <source>联网IP号：</source>
        <translation>IP address:</translation>
    </message>
    <message>
        <source>用户名称：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>用户密码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>开始启动IP定时变换</source>
        <translation>Change IP on a timer</translation>
    </message>
    <message>
        <source>间隔多少秒后挂断</source>
        <translation>Hang up after (s)</translation>
    </message>
    <message>
        <source>断网多少秒后重连</source>
        <translation>Redial after (s)</translation>
    </message>
    <message>
        <source>模拟拨号服务：没有驱动真实线路，显示的地址是模拟地址</source>
        <translation>Simulated dial-up service: no real line is driven, the address shown is simulated</translation>
    </message>
    <message>
        <source>拨号失败</source>
        <translation>Dialling failed</translation>
    </message>
    <message>
        <source>拨号连接“%1”失败</source>
        <translation>Dialling “%1” failed</translation>
    </message>
    <message>
        <source>%1 %2，错误 %3：%4</source>
        <translation>%1 %2, error %3: %4</translation>
    </message>
    <message>
        <source>显示主窗口</source>
        <translation>Show the window</translation>
    </message>
    <message>
        <source>最小化显示</source>
        <translation>Hide in the tray</translation>
    </message>
    <message>
        <source>登陆Dravik网</source>
        <translation>Visit the Dravik site</translation>
    </message>
</context>
</TS>
