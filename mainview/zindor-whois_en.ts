<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>ErrorText</name>
    <message>
        <source>ファイル %1 は開けません</source>
        <translation>Cannot open file %1</translation>
    </message>
    <message>
        <source>ファイル %1 を作成できません</source>
        <translation>Cannot create file %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は整数ではありません</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
</context>
<context>
    <name>StartEnd</name>
    <message>
        <source>フォルダ %1 に書き込めません (%2)。設定と履歴は保存されません</source>
        <translation>Folder %1 is read-only (%2): settings and histories are not saved</translation>
    </message>
    <message>
        <source>ホームフォルダがありません。設定は保存されません</source>
        <translation>No home folder: settings are not saved</translation>
    </message>
    <message>
        <source>設定フォルダに書き込めません。設定は保存されません</source>
        <translation>Settings folder is read-only: nothing is saved</translation>
    </message>
    <message>
        <source>設定フォルダを作成できません。設定は保存されません</source>
        <translation>Cannot create the settings folder: nothing is saved</translation>
    </message>
    <message>
        <source>ホームフォルダがありません (%1)。設定と履歴は保存されません</source>
        <translation>No home folder (%1): settings and histories are not saved</translation>
    </message>
    <message>
        <source>フォルダ %1 を作成できません (%2)。設定と履歴は保存されません</source>
        <translation>Cannot create folder %1 (%2): settings and histories are not saved</translation>
    </message>
</context>
<context>
    <name>TAboutDialog</name>
    <message>
        <source>%1 の情報</source>
        <translation>About %1</translation>
    </message>
</context>
<context>
    <name>TAboutForm</name>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Version Information</translation>
    </message>
    <message>
        <source>本ソフトウェアは無保証で提供されます。</source>
        <translation>This software comes with no warranty.</translation>
    </message>
    <message>
        <source>作者HPを開く</source>
        <translation>Home page</translation>
    </message>
    <message>
        <source>ﾒｰﾙ送信</source>
        <translation>Send mail</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>ja</source>
        <comment>the help page&apos;s language</comment>
        <translation>en</translation>
    </message>
    <message>
        <source>ディスクがいっぱいです</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>書き込みが許可されていません (読み取り専用)</source>
        <translation>no permission to write (read-only)</translation>
    </message>
    <message>
        <source>原因は不明です</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>設定を保存できません。
ファイル: %1
理由: %2</source>
        <translation>The settings could not be saved.
File: %1
Reason: %2</translation>
    </message>
    <message>
        <source>WHOIS・ping・経路追跡・DNS 検索を
一つのウィンドウで</source>
        <translation>WHOIS, ping, trace and DNS lookups
in one window</translation>
    </message>
    <message>
        <source>レジストラ</source>
        <translation>Registrar</translation>
    </message>
    <message>
        <source>登録日</source>
        <translation>Created</translation>
    </message>
    <message>
        <source>有効期限</source>
        <translation>Expires</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>ネームサーバ</source>
        <translation>Name servers</translation>
    </message>
    <message>
        <source>ネットワーク</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>ネットワーク名</source>
        <translation>Network name</translation>
    </message>
    <message>
        <source>組織</source>
        <translation>Owner</translation>
    </message>
    <message>
        <source>AS番号</source>
        <translation>Origin AS</translation>
    </message>
    <message>
        <source>レジストリ</source>
        <translation>Registry</translation>
    </message>
    <message>
        <source>ホップ%1を送信できません: %2</source>
        <translation>Hop %1 could not be sent: %2</translation>
    </message>
    <message>
        <source>%1 は未指定アドレスで、どのホストも指しません。</source>
        <translation>%1 is the unspecified address and names no host.</translation>
    </message>
    <message>
        <source>所有者</source>
        <translation>Owner</translation>
    </message>
    <message>
        <source>ホップの所有者(&amp;O)</source>
        <translation>Hop &amp;owners</translation>
    </message>
    <message>
        <source>トレースの各ホップのAS番号と名前を表示</source>
        <translation>Show the AS number and name of each hop of a trace</translation>
    </message>
    <message>
        <source>ホップの所有者を取得できません: %1</source>
        <translation>Hop owners unavailable: %1</translation>
    </message>
    <message>
        <source>登録情報の要約(&amp;S)</source>
        <translation>Record &amp;summary</translation>
    </message>
    <message>
        <source>答えから読んだ登録情報を本文の上に表示</source>
        <translation>Show the record read from the answer above its text</translation>
    </message>
    <message>
        <source>RDAPを使う(&amp;D)</source>
        <translation>Use &amp;RDAP</translation>
    </message>
    <message>
        <source>Whoisで答えがないときRDAPに問い合わせる</source>
        <translation>Ask RDAP when WHOIS gives no answer</translation>
    </message>
    <message>
        <source>RDAPブートストラップ更新(&amp;U)</source>
        <translation>&amp;Update RDAP bootstrap</translation>
    </message>
    <message>
        <source>IANAからRDAPのブートストラップを取得</source>
        <translation>Fetch the RDAP bootstrap files from IANA</translation>
    </message>
    <message>
        <source>ファイルへ保存します</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>テキストファイル (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>アプリケーション終了</source>
        <translation>Quit the application</translation>
    </message>
    <message>
        <source>ping実行</source>
        <translation>Run ping</translation>
    </message>
    <message>
        <source>Traceroute実行</source>
        <translation>Run traceroute</translation>
    </message>
    <message>
        <source>メモのフォント(&amp;F)...</source>
        <translation>Text &amp;font...</translation>
    </message>
    <message>
        <source>メモフォント設定</source>
        <translation>Set the text font</translation>
    </message>
    <message>
        <source>中止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)</source>
        <translation>&amp;About</translation>
    </message>
    <message>
        <source>バージョン情報</source>
        <translation>Version information</translation>
    </message>
    <message>
        <source>ヘルプ</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>WinSock情報(&amp;W)</source>
        <translation>&amp;WinSock information</translation>
    </message>
    <message>
        <source>Winsock情報</source>
        <translation>WinSock information</translation>
    </message>
    <message>
        <source>Whoisサーバー設定</source>
        <translation>WHOIS server settings</translation>
    </message>
    <message>
        <source>ブラウザでドメインのWEBを開く</source>
        <translation>Open the domain&apos;s web site in the browser</translation>
    </message>
    <message>
        <source>ウィンドウを隠す(&amp;H)</source>
        <translation>&amp;Hide window</translation>
    </message>
    <message>
        <source>ウィンドウを隠す</source>
        <translation>Hide the window</translation>
    </message>
    <message>
        <source>パネルを右側へ(&amp;R)</source>
        <translation>Panel on the &amp;right</translation>
    </message>
    <message>
        <source>右側に表示</source>
        <translation>Show on the right</translation>
    </message>
    <message>
        <source>オプションパネル(&amp;P)</source>
        <translation>Option &amp;panel</translation>
    </message>
    <message>
        <source>パネル表示</source>
        <translation>Show the panel</translation>
    </message>
    <message>
        <source>時刻表示(&amp;T)</source>
        <translation>Show &amp;time</translation>
    </message>
    <message>
        <source>ファイルへ保存</source>
        <translation>Save to file</translation>
    </message>
    <message>
        <source>リストを保存</source>
        <translation>Save list</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>ツール(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>設定(&amp;S)</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>コード変換</source>
        <translation>Encoding</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>メモフォント(&amp;F)...</source>
        <translation>Text &amp;font...</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>ホストエントリを削除</source>
        <translation>Delete the host entry</translation>
    </message>
    <message>
        <source>ホスト名(Alias)</source>
        <translation>Host name (Alias)</translation>
    </message>
    <message>
        <source>IPアドレス</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>サーバーエントリを削除</source>
        <translation>Delete the server entry</translation>
    </message>
    <message>
        <source>連続検索</source>
        <translation>Sweep servers</translation>
    </message>
    <message>
        <source>応答(ms)</source>
        <translation>RTT (ms)</translation>
    </message>
    <message>
        <source>ホスト名</source>
        <translation>Host name</translation>
    </message>
    <message>
        <source>繰返し</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <source>回</source>
        <translation>times</translation>
    </message>
    <message>
        <source>送信間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>ミリ秒</source>
        <translation>ms</translation>
    </message>
    <message>
        <source>タイムアウト</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>s</translation>
    </message>
    <message>
        <source>ICMPソケットの使用が拒否されました: プローブヘルパー zindor-probe に &quot;setcap cap_net_raw+ep&quot; を実行するか、net.ipv4.ping_group_range を広げてあなたのグループを含めてください。</source>
        <translation>ICMP sockets are refused: run &quot;setcap cap_net_raw+ep&quot; on the probe helper zindor-probe, or widen net.ipv4.ping_group_range to include your group.</translation>
    </message>
    <message>
        <source>%1: 更新しました</source>
        <translation>%1: updated</translation>
    </message>
    <message>
        <source>中止しました</source>
        <translation>stopped</translation>
    </message>
    <message>
        <source>%1 にありません</source>
        <translation>not found at %1</translation>
    </message>
    <message>
        <source>取得できません (%1)</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>ブートストラップファイルではありません</source>
        <translation>not a valid bootstrap file</translation>
    </message>
    <message>
        <source>保存できません (%1)</source>
        <translation>%1</translation>
    </message>
    <message>
        <source>%1: %2。古いファイルを残します</source>
        <translation>%1: kept the old file (%2)</translation>
    </message>
    <message>
        <source>%1: %2。ファイルはまだありません</source>
        <translation>%1: no file yet (%2)</translation>
    </message>
    <message>
        <source>ホームフォルダがないため更新できません</source>
        <translation>There is no home folder to keep the update in</translation>
    </message>
    <message>
        <source>ドメイン名は%1バイトまでです (このドメイン名は%2バイト)</source>
        <translation>A domain name holds at most %1 bytes (this one %2)</translation>
    </message>
    <message>
        <source>ドメイン名のラベルは%1バイトまでです (%2番目のラベルは%3バイト)</source>
        <translation>A label of a domain name holds at most %1 bytes (label %2 has %3)</translation>
    </message>
    <message>
        <source>%1: %2行目はNULバイトを含むため読み飛ばしました</source>
        <translation>%1: skipped line %2, which holds a zero byte</translation>
    </message>
</context>
<context>
    <name>TServerForm</name>
    <message>
        <source>Whoisサーバー</source>
        <translation>WHOIS server</translation>
    </message>
    <message>
        <source>対象ドメイン</source>
        <translation>Domains</translation>
    </message>
    <message>
        <source>サーバー名</source>
        <translation>Server name</translation>
    </message>
    <message>
        <source>&lt;IP&gt;アドレスの検索</source>
        <translation>&lt;IP&gt; address queries</translation>
    </message>
    <message>
        <source>検索する</source>
        <translation>Answers</translation>
    </message>
    <message>
        <source>検索しない</source>
        <translation>Does not answer</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>置換</source>
        <translation>Replace</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消し</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>TShowForm</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
</TS>
