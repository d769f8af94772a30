<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AboutPluginsDialog</name>
    <message>
        <source>About Plug-ins</source>
        <translation>关于插件</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Class</source>
        <translation>类</translation>
    </message>
    <message>
        <source>Interface id</source>
        <translation>接口标识</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>状态</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>详细信息</translation>
    </message>
    <message>
        <source>No library was found in the plug-in folders.</source>
        <translation>插件文件夹中没有找到任何库。</translation>
    </message>
    <message>
        <source>Libraries found in the plug-in folders:</source>
        <translation>插件文件夹中找到的库：</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open Project...</source>
        <translation>打开工程(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Close Project</source>
        <translation>关闭工程(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Plug-ins</source>
        <translation>插件(&amp;P)</translation>
    </message>
    <message>
        <source>Plug-ins</source>
        <translation>插件</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;User Guide</source>
        <translation>用户指南(&amp;U)</translation>
    </message>
    <message>
        <source>About &amp;Plug-ins...</source>
        <translation>关于插件(&amp;P)...</translation>
    </message>
    <message>
        <source>No plug-in loaded</source>
        <translation>没有加载插件</translation>
    </message>
    <message>
        <source>Plug-ins loaded: %1</source>
        <translation>已加载插件：%1</translation>
    </message>
    <message>
        <source>%1; libraries refused: %2 (Help &gt; About Plug-ins)</source>
        <translation>%1；被拒绝的库：%2（帮助 &gt; 关于插件）</translation>
    </message>
    <message>
        <source>Open Project</source>
        <translation>打开工程</translation>
    </message>
    <message>
        <source>%1 is not a folder that can be opened.</source>
        <translation>%1 不是可以打开的文件夹。</translation>
    </message>
    <message>
        <source>%1 - Sorv</source>
        <translation>%1 - Sorv</translation>
    </message>
    <message>
        <source>Sorv (no project)</source>
        <translation>Sorv（无工程）</translation>
    </message>
    <message>
        <source>Project: %1</source>
        <translation>工程：%1</translation>
    </message>
    <message>
        <source>No project is open. File &gt; Open Project... opens a folder as a project.</source>
        <translation>没有打开的工程。“文件 &gt; 打开工程...”可将一个文件夹作为工程打开。</translation>
    </message>
</context>
<context>
    <name>PluginRegistry</name>
    <message>
        <source>not a plug-in: %1</source>
        <translation>不是插件：%1</translation>
    </message>
    <message>
        <source>wrong interface id: %1 instead of %2</source>
        <translation>接口标识错误：是 %1，应为 %2</translation>
    </message>
    <message>
        <source>cannot be loaded: %1</source>
        <translation>无法加载：%1</translation>
    </message>
    <message>
        <source>its object is not a general plug-in (%1)</source>
        <translation>其对象不是通用插件（%1）</translation>
    </message>
    <message>
        <source>gives no plug-in object: %1</source>
        <translation>没有提供插件对象：%1</translation>
    </message>
    <message>
        <source>loaded</source>
        <translation>已加载</translation>
    </message>
    <message>
        <source>failed</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>&quot;%1&quot;, general id %2%3</source>
        <translation>“%1”，通用标识 %2%3</translation>
    </message>
    <message>
        <source>, needs a project</source>
        <translation>，需要工程</translation>
    </message>
</context>
<context>
    <name>ScreenshotTour</name>
    <message>
        <source>cannot make the folder %1</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>the main window</source>
        <translation>主窗口</translation>
    </message>
    <message>
        <source>the window of &quot;%1&quot;</source>
        <translation>“%1”的窗口</translation>
    </message>
    <message>
        <source>the window that OK opens in &quot;%1&quot;</source>
        <translation>“%1”中按“确定”打开的窗口</translation>
    </message>
    <message>
        <source>the help window</source>
        <translation>帮助窗口</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is disabled</source>
        <translation>“%1”不可用</translation>
    </message>
    <message>
        <source>cannot write %1</source>
        <translation>无法写入 %1</translation>
    </message>
    <message>
        <source>%1 did not appear or settle within %2 s</source>
        <translation>%1 未在 %2 秒内出现或就绪</translation>
    </message>
</context>
<context>
    <name>SorvDialog</name>
    <message>
        <source>No help page is installed for this dialog: %1 is not in the help folder %2.</source>
        <translation>没有为此对话框安装帮助页面：帮助文件夹 %2 中没有 %1。</translation>
    </message>
    <message>
        <source>The help page %1 cannot be shown: %2.</source>
        <translation>无法显示帮助页面 %1：%2。</translation>
    </message>
</context>
<context>
    <name>SorvHelpWindow</name>
    <message>
        <source>there is no such file</source>
        <translation>文件不存在</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>后退</translation>
    </message>
    <message>
        <source>Forward</source>
        <translation>前进</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>主页</translation>
    </message>
    <message>
        <source>Open in Browser</source>
        <translation>在浏览器中打开</translation>
    </message>
    <message>
        <source>Open this page in the system&apos;s web browser</source>
        <translation>在系统的网页浏览器中打开本页</translation>
    </message>
    <message>
        <source>%1 is not a help page, and no web browser is installed to open it.</source>
        <translation>%1 不是帮助页面，且没有安装可以打开它的网页浏览器。</translation>
    </message>
    <message>
        <source>The help page %1 cannot be shown: %2.</source>
        <translation>无法显示帮助页面 %1：%2。</translation>
    </message>
    <message>
        <source>The help index is not in the help folder %1.</source>
        <translation>帮助文件夹 %1 中没有帮助索引。</translation>
    </message>
    <message>
        <source>The system&apos;s web browser could not be started.</source>
        <translation>无法启动系统的网页浏览器。</translation>
    </message>
    <message>
        <source>%1 - Help</source>
        <translation>%1 - 帮助</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Open the folder &lt;dir&gt; as the project.</source>
        <translation>将文件夹 &lt;dir&gt; 作为工程打开。</translation>
    </message>
    <message>
        <source>Print every library found in the plug-in folders, one a line (status, file, class, interface id, details), and quit.</source>
        <translation>列出插件文件夹中找到的每个库，每行一个（状态、文件、类、接口标识、详细信息），然后退出。</translation>
    </message>
    <message>
        <source>Show the user interface in the language of &lt;locale&gt; (such as zh_CN or en_US) instead of the system&apos;s.</source>
        <translation>使用 &lt;locale&gt;（如 zh_CN 或 en_US）的语言显示用户界面，而不是系统语言。</translation>
    </message>
    <message>
        <source>Host of the seismic processing plug-ins: loads the general plug-ins and places their commands in a menu and on a toolbar.</source>
        <translation>地震处理插件的宿主程序：加载通用插件，并将其命令放入菜单和工具栏。</translation>
    </message>
    <message>
        <source>Load plug-ins from &lt;dir&gt;; may be given more than once. Without it: %1</source>
        <translation>从 &lt;dir&gt; 加载插件；可多次指定。未指定时：%1</translation>
    </message>
    <message>
        <source>sorv: no plug-in folder %1</source>
        <translation>sorv：没有插件文件夹 %1</translation>
    </message>
    <message>
        <source>sorv: cannot open %1 as a project: it is not a folder</source>
        <translation>sorv：无法将 %1 作为工程打开：它不是文件夹</translation>
    </message>
    <message>
        <source>For demos and the help pages: open each plug-in&apos;s window in turn, write a PNG picture of every window to &lt;dir&gt;, print their paths, and quit.</source>
        <translation>用于演示和帮助页面：依次打开每个插件的窗口，把每个窗口的 PNG 图片写入 &lt;dir&gt;，输出图片路径后退出。</translation>
    </message>
    <message>
        <source>sorv: screenshots: %1</source>
        <translation>sorv：截图：%1</translation>
    </message>
</context>
</TS>
