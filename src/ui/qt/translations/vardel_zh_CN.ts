<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Vardel</name>
    <message>
        <source>Write acknowledged, not confirmed: check the status, then replug.</source>
        <translation>已确认写入，但未经核实：请读取状态，然后重新插拔。</translation>
    </message>
    <message>
        <source>The drive acknowledged the write, but reading the block back failed, so the change is not confirmed: the drive may hold it now. Read the drive again with the status button, and replug the drive for a change to take effect.</source>
        <translation>磁盘已确认写入，但回读数据块失败，因此更改未经核实：磁盘现在可能已保存该更改。请用“读取状态”按钮再次读取磁盘，并重新插拔磁盘使更改生效。</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>未知错误</translation>
    </message>
    <message>
        <source>No drive found</source>
        <translation>未找到磁盘</translation>
    </message>
    <message>
        <source>More drives found, please remove others</source>
        <translation>找到多个磁盘，请移除其他磁盘</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Write Success</source>
        <translation>写入成功</translation>
    </message>
    <message>
        <source>Write Fail</source>
        <translation>写入失败</translation>
    </message>
    <message>
        <source>The drive is busy: another program is changing it</source>
        <translation>磁盘忙：另一个程序正在更改它</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Show status</source>
        <translation>读取状态</translation>
    </message>
    <message>
        <source>Removable</source>
        <translation>可移动磁盘</translation>
    </message>
    <message>
        <source>Fixed Disk</source>
        <translation>固定磁盘</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>写入</translation>
    </message>
    <message>
        <source>&amp;About Vardel...</source>
        <translation>关于 Vardel(&amp;A)...</translation>
    </message>
    <message>
        <source>About Vardel</source>
        <translation>关于 Vardel</translation>
    </message>
    <message>
        <source>Vardel Version %1</source>
        <translation>Vardel 版本 %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>LUN 0: make removable</source>
        <translation>LUN 0：设为可移动磁盘</translation>
    </message>
    <message>
        <source>LUN 0: make fixed</source>
        <translation>LUN 0：设为固定磁盘</translation>
    </message>
    <message>
        <source>LUN 1: make removable</source>
        <translation>LUN 1：设为可移动磁盘</translation>
    </message>
    <message>
        <source>LUN 1: make fixed</source>
        <translation>LUN 1：设为固定磁盘</translation>
    </message>
    <message>
        <source>Show the type of both LUNs</source>
        <translation>读取并显示两个 LUN 的类型</translation>
    </message>
    <message>
        <source>LUN 0 type</source>
        <translation>LUN 0 类型</translation>
    </message>
    <message>
        <source>LUN 1 type</source>
        <translation>LUN 1 类型</translation>
    </message>
    <message>
        <source>&amp;Undo last change</source>
        <translation>复原上次变更(&amp;U)</translation>
    </message>
    <message>
        <source>Nothing was written: the block as read could not be saved to the journal first. </source>
        <translation>未写入任何内容：读取的数据块未能先保存到日志。</translation>
    </message>
    <message>
        <source>Write these types to the drive?</source>
        <translation>将这些类型写入磁盘吗？</translation>
    </message>
    <message>
        <source>(unchanged)</source>
        <translation>（不变）</translation>
    </message>
    <message>
        <source>Nothing was written: the drive already holds these types.</source>
        <translation>未写入任何内容：磁盘已是这些类型。</translation>
    </message>
    <message>
        <source>Replug the drive for the change to take effect.</source>
        <translation>请重新插拔磁盘，使更改生效。</translation>
    </message>
    <message>
        <source>The change could not be kept: the scenario file could not be written.</source>
        <translation>未能保留更改：无法写入场景文件。</translation>
    </message>
    <message>
        <source>The drives could not be opened: this user has no rights to their device nodes.

The udev rule /usr/lib/udev/rules.d/70-vardel.rules, which the vardel package installs, gives the node of a drive of this kind to the drive service alone. Start vardel without --direct: it then asks the drive service, which polkit asks about each change.</source>
        <translation>无法打开磁盘：当前用户没有访问其设备节点的权限。

vardel 软件包安装的 udev 规则 /usr/lib/udev/rules.d/70-vardel.rules 只把此类磁盘的节点交给磁盘服务。请不带 --direct 启动 vardel：它会改由磁盘服务操作，每次更改都由 polkit 授权。</translation>
    </message>
    <message>
        <source>this vardel is built without the drive service&apos;s client; give --direct</source>
        <translation>此 vardel 构建时未包含磁盘服务的客户端；请使用 --direct</translation>
    </message>
    <message>
        <source>the system bus cannot be reached (%1), so neither can the drive service; vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>无法连接系统总线（%1），因此也无法连接磁盘服务；vardel --direct 可直接访问磁盘（需要对其设备节点有权限），root 始终可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service (org.vardel.Drives1) is not installed: install the package&apos;s service files (docs/service.md), or use another way: vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>磁盘服务（org.vardel.Drives1）未安装：请安装软件包中的服务文件（docs/service.md），或使用其他方式：vardel --direct 可直接访问磁盘（需要对其设备节点有权限），root 始终可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service (org.vardel.Drives1) could not be started (%1); journalctl -u vardel-service tells why. Meanwhile vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>无法启动磁盘服务（org.vardel.Drives1）（%1）；journalctl -u vardel-service 可查看原因。在此期间，vardel --direct 可直接访问磁盘（需要对其设备节点有权限），root 始终可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>polkit refused %2 to this user: nothing was written. An administrator may allow it (docs/service.md, Authorization), or run it as root (sudo vardelctl ...)</source>
        <translation>polkit 拒绝此用户执行 %2：未写入任何内容。管理员可以允许该操作（docs/service.md，Authorization），或以 root 身份运行（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>polkit asks for a password for %2, and no authentication agent here can ask it: nothing was written. Run it in a desktop session, start pkttyagent, or run it as root (sudo vardelctl ...)</source>
        <translation>polkit 需要密码才能执行 %2，但此处没有可以询问密码的身份验证代理：未写入任何内容。请在桌面会话中运行、启动 pkttyagent，或以 root 身份运行（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service refused the call: %1; nothing was written</source>
        <translation>磁盘服务拒绝了此调用：%1；未写入任何内容</translation>
    </message>
    <message>
        <source>the drive service did not answer (%1): whether the drive changed is not known; the status button shows what it holds</source>
        <translation>磁盘服务没有应答（%1）：无法确定磁盘是否已更改；请用“读取状态”按钮查看磁盘当前的内容</translation>
    </message>
    <message>
        <source>the drive service did not answer (%1); the call only reads, so nothing was changed: try again in a while</source>
        <translation>磁盘服务没有应答（%1）；此调用只读取，因此没有更改任何内容：请稍后再试</translation>
    </message>
    <message>
        <source>the drive service&apos;s answer could not be read (another version of vardel-service?); vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>无法读取磁盘服务的应答（vardel-service 版本不同？）；vardel --direct 可直接访问磁盘（需要对其设备节点有权限），root 始终可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service failed (%1)</source>
        <translation>磁盘服务出错（%1）</translation>
    </message>
</context>
</TS>
