<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>BrowseFBFile</name>
    <message>
        <source>Browse FB File</source>
        <translation>浏览初至文件</translation>
    </message>
</context>
<context>
    <name>BrowseFBFileDialog</name>
    <message>
        <source>Browse FB File</source>
        <translation>浏览初至文件</translation>
    </message>
    <message>
        <source>FB file:</source>
        <translation>初至文件：</translation>
    </message>
    <message>
        <source>&lt;&gt;</source>
        <translation>&lt;&gt;</translation>
    </message>
    <message>
        <source>Fast forward/backward step:</source>
        <translation>快进/快退步长：</translation>
    </message>
    <message>
        <source>( shots )</source>
        <translation>（炮）</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Error: the FB file is too large to index (%1 records; at most %2 are supported).</source>
        <translation>错误：初至文件太大，无法建立索引（%1 条记录；最多支持 %2 条）。</translation>
    </message>
    <message>
        <source>Warning: the FB file is incomplete!</source>
        <translation>警告：初至文件不完整！</translation>
    </message>
    <message>
        <source>Extracting Shot Index......</source>
        <translation>正在提取炮索引......</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Error: fail to open the FB file!</source>
        <translation>错误：无法打开初至文件！</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>positive</source>
        <translation>正</translation>
    </message>
    <message>
        <source>negative</source>
        <translation>负</translation>
    </message>
    <message>
        <source>fb_no</source>
        <translation>fb_no</translation>
    </message>
    <message>
        <source>ffid</source>
        <translation>ffid</translation>
    </message>
    <message>
        <source>channel</source>
        <translation>channel</translation>
    </message>
    <message>
        <source>fb_time</source>
        <translation>fb_time</translation>
    </message>
    <message>
        <source>offset</source>
        <translation>offset</translation>
    </message>
    <message>
        <source>g_elev</source>
        <translation>g_elev</translation>
    </message>
    <message>
        <source>s_elev</source>
        <translation>s_elev</translation>
    </message>
    <message>
        <source>s_depth</source>
        <translation>s_depth</translation>
    </message>
    <message>
        <source>source_x</source>
        <translation>source_x</translation>
    </message>
    <message>
        <source>source_y</source>
        <translation>source_y</translation>
    </message>
    <message>
        <source>group_x</source>
        <translation>group_x</translation>
    </message>
    <message>
        <source>group_y</source>
        <translation>group_y</translation>
    </message>
    <message>
        <source>s_line</source>
        <translation>s_line</translation>
    </message>
    <message>
        <source>s_stat</source>
        <translation>s_stat</translation>
    </message>
    <message>
        <source>g_line</source>
        <translation>g_line</translation>
    </message>
    <message>
        <source>g_stat</source>
        <translation>g_stat</translation>
    </message>
</context>
<context>
    <name>fbTableDialog</name>
    <message>
        <source>Browse FB File</source>
        <translation>浏览初至文件</translation>
    </message>
    <message>
        <source>FB File:</source>
        <translation>初至文件：</translation>
    </message>
    <message>
        <source>Number of sources:</source>
        <translation>炮数：</translation>
    </message>
    <message>
        <source>Number of FBs:</source>
        <translation>初至数：</translation>
    </message>
    <message>
        <source>Offset range:</source>
        <translation>偏移距范围：</translation>
    </message>
    <message>
        <source>Polarity:</source>
        <translation>极性：</translation>
    </message>
    <message>
        <source>to start shot</source>
        <translation>到第一炮</translation>
    </message>
    <message>
        <source>|&lt;</source>
        <translation>|&lt;</translation>
    </message>
    <message>
        <source>fast backward</source>
        <translation>快退</translation>
    </message>
    <message>
        <source>&lt;&lt;</source>
        <translation>&lt;&lt;</translation>
    </message>
    <message>
        <source>backward</source>
        <translation>后退</translation>
    </message>
    <message>
        <source>&lt;</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>to specified shot</source>
        <translation>到指定炮</translation>
    </message>
    <message>
        <source>forward</source>
        <translation>前进</translation>
    </message>
    <message>
        <source>&gt;</source>
        <translation>&gt;</translation>
    </message>
    <message>
        <source>fast forward</source>
        <translation>快进</translation>
    </message>
    <message>
        <source>&gt;&gt;</source>
        <translation>&gt;&gt;</translation>
    </message>
    <message>
        <source>to end shot</source>
        <translation>到最后一炮</translation>
    </message>
    <message>
        <source>&gt;|</source>
        <translation>&gt;|</translation>
    </message>
    <message>
        <source>%L1</source>
        <translation>%L1</translation>
    </message>
    <message>
        <source>Forward %1 shots</source>
        <translation>前进 %1 炮</translation>
    </message>
    <message>
        <source>Backward %1 shots</source>
        <translation>后退 %1 炮</translation>
    </message>
    <message>
        <source>Shot %1 (ffid %2) holds %L3 picks, too many to show: its table would need about %L4 MiB of memory, more than the %L5 MiB this machine can spare for one shot.

So long a run of one ffid usually means a damaged or zero-filled stretch of the file. The other shots can still be viewed.</source>
        <translation>第 %1 炮（ffid %2）有 %L3 个初至，太多而无法显示：其表格约需 %L4 MiB 内存，超过本机能为一炮提供的 %L5 MiB。

同一 ffid 连续这么多记录，通常表示文件中有损坏或全零的一段。其他炮仍可查看。</translation>
    </message>
</context>
</TS>
