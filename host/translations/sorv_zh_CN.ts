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
    <name>SorvDialog</name>
    <message>
        <source>No help page is installed for this dialog: %1 is not in the help folder %2.</source>
        <translation>没有为此对话框安装帮助页面：帮助文件夹 %2 中没有 %1。</translation>
    </message>
    <message>
        <source>The help page %1 could not be opened.</source>
        <translation>无法打开帮助页面 %1。</translation>
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
</context>
</TS>
