<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_TW">
<context>
    <name>Vardel</name>
    <message>
        <source>Write acknowledged, not confirmed: check the status, then replug.</source>
        <translation>已確認寫入，但未經核實：請讀取狀態，然後重新插拔。</translation>
    </message>
    <message>
        <source>The drive acknowledged the write, but reading the block back failed, so the change is not confirmed: the drive may hold it now. Read the drive again with the status button, and replug the drive for a change to take effect.</source>
        <translation>磁碟已確認寫入，但回讀資料區塊失敗，因此變更未經核實：磁碟現在可能已保存該變更。請用「讀取狀態」按鈕再次讀取磁碟，並重新插拔磁碟使變更生效。</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>未知錯誤</translation>
    </message>
    <message>
        <source>No drive found</source>
        <translation>找不到磁碟</translation>
    </message>
    <message>
        <source>More drives found, please remove others</source>
        <translation>找到多個磁碟，請移除其他磁碟</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>失敗</translation>
    </message>
    <message>
        <source>Write Success</source>
        <translation>寫入成功</translation>
    </message>
    <message>
        <source>Write Fail</source>
        <translation>寫入失敗</translation>
    </message>
    <message>
        <source>The drive is busy: another program is changing it</source>
        <translation>磁碟忙碌中：另一個程式正在變更它</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>狀態</translation>
    </message>
    <message>
        <source>Show status</source>
        <translation>讀取狀態</translation>
    </message>
    <message>
        <source>Removable</source>
        <translation>可移動磁碟</translation>
    </message>
    <message>
        <source>Fixed Disk</source>
        <translation>固定磁碟</translation>
    </message>
    <message>
        <source>Write</source>
        <translation>寫入</translation>
    </message>
    <message>
        <source>&amp;About Vardel...</source>
        <translation>關於 Vardel(&amp;A)...</translation>
    </message>
    <message>
        <source>About Vardel</source>
        <translation>關於 Vardel</translation>
    </message>
    <message>
        <source>Vardel Version %1</source>
        <translation>Vardel 版本 %1</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>確定</translation>
    </message>
    <message>
        <source>LUN 0: make removable</source>
        <translation>LUN 0：設為可移動磁碟</translation>
    </message>
    <message>
        <source>LUN 0: make fixed</source>
        <translation>LUN 0：設為固定磁碟</translation>
    </message>
    <message>
        <source>LUN 1: make removable</source>
        <translation>LUN 1：設為可移動磁碟</translation>
    </message>
    <message>
        <source>LUN 1: make fixed</source>
        <translation>LUN 1：設為固定磁碟</translation>
    </message>
    <message>
        <source>Show the type of both LUNs</source>
        <translation>讀取並顯示兩個 LUN 的類型</translation>
    </message>
    <message>
        <source>LUN 0 type</source>
        <translation>LUN 0 類型</translation>
    </message>
    <message>
        <source>LUN 1 type</source>
        <translation>LUN 1 類型</translation>
    </message>
    <message>
        <source>&amp;Undo last change</source>
        <translation>復原上次變更(&amp;U)</translation>
    </message>
    <message>
        <source>Nothing was written: the block as read could not be saved to the journal first. </source>
        <translation>未寫入任何內容：讀取的資料區塊未能先保存到日誌。</translation>
    </message>
    <message>
        <source>Write these types to the drive?</source>
        <translation>將這些類型寫入磁碟嗎？</translation>
    </message>
    <message>
        <source>(unchanged)</source>
        <translation>（不變）</translation>
    </message>
    <message>
        <source>Nothing was written: the drive already holds these types.</source>
        <translation>未寫入任何內容：磁碟已是這些類型。</translation>
    </message>
    <message>
        <source>Replug the drive for the change to take effect.</source>
        <translation>請重新插拔磁碟，使變更生效。</translation>
    </message>
    <message>
        <source>The change could not be kept: the scenario file could not be written.</source>
        <translation>未能保留變更：無法寫入情境檔案。</translation>
    </message>
    <message>
        <source>The drives could not be opened: this user has no rights to their device nodes.

The udev rule /usr/lib/udev/rules.d/70-vardel.rules, which the vardel package installs, gives the node of a drive of this kind to the drive service alone. Start vardel without --direct: it then asks the drive service, which polkit asks about each change.</source>
        <translation>無法開啟磁碟：目前使用者沒有存取其裝置節點的權限。

vardel 套件安裝的 udev 規則 /usr/lib/udev/rules.d/70-vardel.rules 只把此類磁碟的節點交給磁碟服務。請不帶 --direct 啟動 vardel：它會改由磁碟服務操作，每次變更都由 polkit 授權。</translation>
    </message>
    <message>
        <source>this vardel is built without the drive service&apos;s client; give --direct</source>
        <translation>此 vardel 建置時未包含磁碟服務的用戶端；請使用 --direct</translation>
    </message>
    <message>
        <source>the system bus cannot be reached (%1), so neither can the drive service; vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>無法連線至系統匯流排（%1），因此也無法連線至磁碟服務；vardel --direct 可直接存取磁碟（需要其裝置節點的權限），root 一律可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service (org.vardel.Drives1) is not installed: install the package&apos;s service files (docs/service.md), or use another way: vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>磁碟服務（org.vardel.Drives1）未安裝：請安裝套件中的服務檔案（docs/service.md），或改用其他方式：vardel --direct 可直接存取磁碟（需要其裝置節點的權限），root 一律可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service (org.vardel.Drives1) could not be started (%1); journalctl -u vardel-service tells why. Meanwhile vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>無法啟動磁碟服務（org.vardel.Drives1）（%1）；journalctl -u vardel-service 可查看原因。在此期間，vardel --direct 可直接存取磁碟（需要其裝置節點的權限），root 一律可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>polkit refused %2 to this user: nothing was written. An administrator may allow it (docs/service.md, Authorization), or run it as root (sudo vardelctl ...)</source>
        <translation>polkit 拒絕此使用者執行 %2：未寫入任何內容。管理員可允許此操作（docs/service.md，Authorization），或以 root 身分執行（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>polkit asks for a password for %2, and no authentication agent here can ask it: nothing was written. Run it in a desktop session, start pkttyagent, or run it as root (sudo vardelctl ...)</source>
        <translation>polkit 需要密碼才能執行 %2，但此處沒有可詢問密碼的驗證代理程式：未寫入任何內容。請在桌面工作階段中執行、啟動 pkttyagent，或以 root 身分執行（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service refused the call: %1; nothing was written</source>
        <translation>磁碟服務拒絕了此呼叫：%1；未寫入任何內容</translation>
    </message>
    <message>
        <source>the drive service did not answer (%1): whether the drive changed is not known; the status button shows what it holds</source>
        <translation>磁碟服務沒有回應（%1）：無法確定磁碟是否已變更；請用「讀取狀態」按鈕查看磁碟目前的內容</translation>
    </message>
    <message>
        <source>the drive service did not answer (%1); the call only reads, so nothing was changed: try again in a while</source>
        <translation>磁碟服務沒有回應（%1）；此呼叫只讀取，因此沒有變更任何內容：請稍後再試</translation>
    </message>
    <message>
        <source>the drive service&apos;s answer could not be read (another version of vardel-service?); vardel --direct reaches the drive itself, with rights on its node, and root always may (sudo vardelctl ...)</source>
        <translation>無法讀取磁碟服務的回應（vardel-service 版本不同？）；vardel --direct 可直接存取磁碟（需要其裝置節點的權限），root 一律可以（sudo vardelctl ...）</translation>
    </message>
    <message>
        <source>the drive service failed (%1)</source>
        <translation>磁碟服務發生錯誤（%1）</translation>
    </message>
</context>
</TS>
