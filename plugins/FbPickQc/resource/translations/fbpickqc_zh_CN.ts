<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FbBlockReader</name>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
</context>
<context>
    <name>FbPickQc</name>
    <message>
        <source>FB Pick QC</source>
        <translation>初至质控</translation>
    </message>
</context>
<context>
    <name>FbPickQcWindow</name>
    <message>
        <source>FB Pick QC</source>
        <translation>初至质控</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <source>Export &amp;Plot...</source>
        <translation>导出炮点图(&amp;P)...</translation>
    </message>
    <message>
        <source>Export &amp;Map...</source>
        <translation>导出测网图(&amp;M)...</translation>
    </message>
    <message>
        <source>Export P&amp;roblems as CSV...</source>
        <translation>将问题导出为 CSV(&amp;R)...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>关闭(&amp;C)</translation>
    </message>
    <message>
        <source>First shot</source>
        <translation>第一炮</translation>
    </message>
    <message>
        <source>Previous shot (Page Up)</source>
        <translation>上一炮 (Page Up)</translation>
    </message>
    <message>
        <source>Next shot (Page Down)</source>
        <translation>下一炮 (Page Down)</translation>
    </message>
    <message>
        <source>Last shot</source>
        <translation>最后一炮</translation>
    </message>
    <message>
        <source>Previous problem</source>
        <translation>上一个问题</translation>
    </message>
    <message>
        <source>Previous shot with a problem (Shift+N)</source>
        <translation>上一个有问题的炮 (Shift+N)</translation>
    </message>
    <message>
        <source>Next problem</source>
        <translation>下一个问题</translation>
    </message>
    <message>
        <source>Next shot with a problem (N)</source>
        <translation>下一个有问题的炮 (N)</translation>
    </message>
    <message>
        <source>plain time</source>
        <translation>原始时间</translation>
    </message>
    <message>
        <source>Plot reduced time t - |x| / V; empty plots plain time</source>
        <translation>绘制折合时间 t - |x| / V；留空则绘制原始时间</translation>
    </message>
    <message>
        <source>Reset Zoom</source>
        <translation>复位缩放</translation>
    </message>
    <message>
        <source>Shot:</source>
        <translation>炮：</translation>
    </message>
    <message>
        <source>Reduction velocity:</source>
        <translation>折合速度：</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Judging the picks...</source>
        <translation>正在评判初至...</translation>
    </message>
    <message>
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <source>RMS residual</source>
        <translation>均方根残差</translation>
    </message>
    <message>
        <source>Picks</source>
        <translation>初至数</translation>
    </message>
    <message>
        <source>Colour sources by:</source>
        <translation>炮点着色依据：</translation>
    </message>
    <message>
        <source>All kinds</source>
        <translation>全部类型</translation>
    </message>
    <message>
        <source>Problems:</source>
        <translation>问题：</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Loading %1 was cancelled; %2 stays shown.</source>
        <translation>已取消加载 %1；仍显示 %2。</translation>
    </message>
    <message>
        <source>Loading %1 was cancelled.</source>
        <translation>已取消加载 %1。</translation>
    </message>
    <message>
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <source>FB Pick QC - %1</source>
        <translation>初至质控 - %1</translation>
    </message>
    <message>
        <source>The file is incomplete: its header declares %L1 picks, but it holds %L2 complete records. The records it holds are judged.</source>
        <translation>文件不完整：文件头声明了 %L1 个初至，但只包含 %L2 条完整记录。已评判现有的记录。</translation>
    </message>
    <message>
        <source>%1: %L2 shots, %L3 picks (status 0: %L4, status 1: %L5, other: %L6). Outliers: %L7 (threshold %8 ms); flagged reciprocal pairs: %L9 of %L10 (tolerance %11 ms); varying source values: %L12; bad values: %L13; repeated ffids: %L14; picks not judged: %L15.</source>
        <translation>%1：%L2 炮，%L3 个初至（状态 0：%L4，状态 1：%L5，其他：%L6）。异常值：%L7（阈值 %8 毫秒）；超限互换炮对：%L10 对中的 %L9 对（容差 %11 毫秒）；变化的震源值：%L12；坏值：%L13；重复的 ffid：%L14；未评判的初至：%L15。</translation>
    </message>
    <message>
        <source>Shot %1 (ffid %2) holds %L3 picks, too many to show; the other shots can be viewed.</source>
        <translation>第 %1 炮（ffid %2）有 %L3 个初至，数量过多，无法显示；其他炮仍可查看。</translation>
    </message>
    <message>
        <source>Export Plot</source>
        <translation>导出炮点图</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation>PNG 图像 (*.png);;SVG 矢量图 (*.svg);;PDF 文档 (*.pdf)</translation>
    </message>
    <message>
        <source>Export Map</source>
        <translation>导出测网图</translation>
    </message>
    <message>
        <source>Export Problems to Folder</source>
        <translation>将问题导出到文件夹</translation>
    </message>
    <message>
        <source>%L1 problems</source>
        <translation>%L1 个问题</translation>
    </message>
    <message>
        <source>Residuals</source>
        <translation>残差</translation>
    </message>
    <message>
        <source>Plot each pick&apos;s residual (time - fitted curve) instead of its time</source>
        <translation>绘制每个初至的残差（时间减拟合曲线），而不是其时间</translation>
    </message>
</context>
<context>
    <name>ImageExport</name>
    <message>
        <source>%1: the name must end in .png, .svg or .pdf.</source>
        <translation>%1：文件名必须以 .png、.svg 或 .pdf 结尾。</translation>
    </message>
    <message>
        <source>%1 is a folder, not a file.</source>
        <translation>%1 是文件夹，不是文件。</translation>
    </message>
    <message>
        <source>%1 is not a regular file.</source>
        <translation>%1 不是普通文件。</translation>
    </message>
    <message>
        <source>%1 cannot be written: the folder %2 does not exist.</source>
        <translation>无法写入 %1：文件夹 %2 不存在。</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>%1 cannot be written: no memory for an image of %2 x %3 pixels.</source>
        <translation>无法写入 %1：内存不足，无法生成 %2 x %3 像素的图像。</translation>
    </message>
    <message>
        <source>%1 cannot be written: the image could not be made.</source>
        <translation>无法写入 %1：无法生成图像。</translation>
    </message>
</context>
<context>
    <name>PickQc::Analyzer</name>
    <message>
        <source>the file holds no complete record</source>
        <translation>文件中没有一条完整的记录</translation>
    </message>
    <message>
        <source>the file holds more records than can be numbered</source>
        <translation>文件中的记录过多，超出了可编号的范围</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
</context>
<context>
    <name>ProblemModel</name>
    <message>
        <source>Outlier</source>
        <translation>异常值</translation>
    </message>
    <message>
        <source>Reciprocity</source>
        <translation>互换性</translation>
    </message>
    <message>
        <source>Varying source</source>
        <translation>震源值变化</translation>
    </message>
    <message>
        <source>Bad value</source>
        <translation>坏值</translation>
    </message>
    <message>
        <source>Repeated ffid</source>
        <translation>重复的 ffid</translation>
    </message>
    <message>
        <source>channel %1, offset %2: fb_time %3 ms against the model&apos;s %4 ms</source>
        <translation>道 %1，偏移距 %2：fb_time 为 %3 毫秒，模型为 %4 毫秒</translation>
    </message>
    <message>
        <source>ffid %1 at ffid %2&apos;s source: %3 ms; the other way round: %4 ms</source>
        <translation>ffid %1 在 ffid %2 炮点处：%3 毫秒；反向：%4 毫秒</translation>
    </message>
    <message>
        <source>%1 varies: %2 records differ from the shot&apos;s most common value</source>
        <translation>%1 不一致：%2 条记录与该炮最常见的值不同</translation>
    </message>
    <message>
        <source>%1 is negative</source>
        <translation>%1 为负数</translation>
    </message>
    <message>
        <source>%1 is not a finite number</source>
        <translation>%1 不是有限数</translation>
    </message>
    <message>
        <source>ffid %1 already names shot %2</source>
        <translation>ffid %1 已用于第 %2 炮</translation>
    </message>
    <message>
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>Shot</source>
        <translation>炮</translation>
    </message>
    <message>
        <source>ffid</source>
        <translation>ffid</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>记录</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详情</translation>
    </message>
</context>
<context>
    <name>QObject</name>
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
    <name>QcCsv</name>
    <message>
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>Cannot make the folder %1.</source>
        <translation>无法创建文件夹 %1。</translation>
    </message>
</context>
<context>
    <name>QcMapValues</name>
    <message>
        <source>RMS residual (ms)</source>
        <translation>均方根残差（毫秒）</translation>
    </message>
    <message>
        <source>Picks per shot</source>
        <translation>每炮初至数</translation>
    </message>
    <message>
        <source>Outliers per shot</source>
        <translation>每炮异常值数</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>no fit</source>
        <translation>无拟合</translation>
    </message>
    <message>
        <source>ffid %1</source>
        <translation>ffid %1</translation>
    </message>
    <message>
        <source>Outliers: %L1</source>
        <translation>异常值：%L1</translation>
    </message>
    <message>
        <source>RMS residual: %1</source>
        <translation>均方根残差：%1</translation>
    </message>
    <message>
        <source>Picks: %L1</source>
        <translation>初至数：%L1</translation>
    </message>
</context>
<context>
    <name>ShotPlot</name>
    <message>
        <source>Status 0</source>
        <translation>状态 0</translation>
    </message>
    <message>
        <source>Status 1</source>
        <translation>状态 1</translation>
    </message>
    <message>
        <source>Other status</source>
        <translation>其他状态</translation>
    </message>
    <message>
        <source>Fitted curve</source>
        <translation>拟合曲线</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2 (picks: %L3, outliers: %L4)</source>
        <translation>第 %1 炮 &gt; ffid %2（初至：%L3，异常值：%L4）</translation>
    </message>
    <message>
        <source>Signed offset (%1)</source>
        <translation>带符号偏移距（%1）</translation>
    </message>
    <message>
        <source>Residual (ms)</source>
        <translation>残差（毫秒）</translation>
    </message>
    <message>
        <source>Reduced time t - |x| / %1 %2/s (ms)</source>
        <translation>折合时间 t - |x| / %1 %2/s（毫秒）</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>时间（毫秒）</translation>
    </message>
    <message>
        <source>Outlier (off by more than %1 ms)</source>
        <translation>异常值（偏离超过 %1 毫秒）</translation>
    </message>
    <message>
        <source>Outlier threshold (±%1 ms)</source>
        <translation>异常值阈值（±%1 毫秒）</translation>
    </message>
    <message>
        <source>%1 %2/s</source>
        <translation>%1 %2/s</translation>
    </message>
    <message>
        <source>intercept %1 ms</source>
        <translation>截距 %1 毫秒</translation>
    </message>
</context>
<context>
    <name>ShotTableModel</name>
    <message>
        <source>%1 differs from the shot&apos;s most common value, %2.</source>
        <translation>%1 与该炮最常见的值 %2 不同。</translation>
    </message>
    <message>
        <source>Outlier: %1 ms off the fitted first-break curve (model %2 ms).</source>
        <translation>异常值：偏离拟合初至曲线 %1 毫秒（模型 %2 毫秒）。</translation>
    </message>
    <message>
        <source>Not judged: too few picks on this side of the source, or no finite time.</source>
        <translation>未评判：炮点这一侧的初至太少，或时间不是有限数。</translation>
    </message>
</context>
<context>
    <name>SurveyMap</name>
    <message>
        <source>Shot %1</source>
        <translation>第 %1 炮</translation>
    </message>
    <message>
        <source>Easting</source>
        <translation>东坐标</translation>
    </message>
    <message>
        <source>Northing</source>
        <translation>北坐标</translation>
    </message>
    <message>
        <source>x %1, y %2</source>
        <translation>x %1，y %2</translation>
    </message>
</context>
</TS>
