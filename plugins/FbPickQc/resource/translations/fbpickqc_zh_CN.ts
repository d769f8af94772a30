<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="zh_CN">
<context>
    <name>FbPickQc</name>
    <message>
        <location filename="../../fbpickqc.cpp" line="17" />
        <location filename="../../fbpickqc.cpp" line="37" />
        <source>FB Pick QC</source>
        <translation>FB 初至质控</translation>
    </message>
</context>
<context>
    <name>FbPickQcWindow</name>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="66" />
        <source>FB Pick QC</source>
        <translation>FB 初至质控</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="94" />
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="95" />
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="98" />
        <source>Export &amp;Plot...</source>
        <translation>导出炮点图(&amp;P)...</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="99" />
        <source>Export &amp;Map...</source>
        <translation>导出测网图(&amp;M)...</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="100" />
        <source>Export P&amp;roblems as CSV...</source>
        <translation>将问题导出为 CSV(&amp;R)...</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="103" />
        <source>&amp;Close</source>
        <translation>关闭(&amp;C)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="111" />
        <source>First shot</source>
        <translation>第一炮</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="112" />
        <source>Previous shot (Page Up)</source>
        <translation>上一炮 (Page Up)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="113" />
        <source>Next shot (Page Down)</source>
        <translation>下一炮 (Page Down)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="114" />
        <source>Last shot</source>
        <translation>最后一炮</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="115" />
        <source>Previous problem</source>
        <translation>上一个问题</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="116" />
        <source>Previous shot with a problem (Shift+N)</source>
        <translation>上一个有问题的炮 (Shift+N)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="117" />
        <source>Next problem</source>
        <translation>下一个问题</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="118" />
        <source>Next shot with a problem (N)</source>
        <translation>下一个有问题的炮 (N)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="121" />
        <source>plain time</source>
        <translation>原始时间</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="122" />
        <source>Plot reduced time t - |x| / V; empty plots plain time</source>
        <translation>绘制折合时间 t - |x| / V；留空则绘制原始时间</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="127" />
        <source>Reset Zoom</source>
        <translation>复位缩放</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="131" />
        <source>Shot:</source>
        <translation>炮：</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="136" />
        <source>Reduction velocity:</source>
        <translation>折合速度：</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="151" />
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="155" />
        <source>Judging the picks...</source>
        <translation>正在评判初至...</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176" />
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176" />
        <source>RMS residual</source>
        <translation>均方根残差</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176" />
        <source>Picks</source>
        <translation>初至数</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="181" />
        <source>Colour sources by:</source>
        <translation>炮点着色依据：</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="203" />
        <source>All kinds</source>
        <translation>全部类型</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="210" />
        <source>Problems:</source>
        <translation>问题：</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="298" />
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="324" />
        <source>Loading %1 was cancelled; %2 stays shown.</source>
        <translation>已取消加载 %1；仍显示 %2。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="325" />
        <source>Loading %1 was cancelled.</source>
        <translation>已取消加载 %1。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="346" />
        <source>Cannot open %1: %2</source>
        <translation>无法打开 %1：%2</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="355" />
        <source>FB Pick QC - %1</source>
        <translation>FB 初至质控 - %1</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="358" />
        <source>The file is incomplete: its header declares %L1 picks, but it holds %L2 complete records. The records it holds are judged.</source>
        <translation>文件不完整：文件头声明了 %L1 个初至，但只包含 %L2 条完整记录。已评判现有的记录。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="381" />
        <source>%1: %L2 shots, %L3 picks (status 0: %L4, status 1: %L5, other: %L6). Outliers: %L7 (threshold %8 ms); flagged reciprocal pairs: %L9 of %L10 (tolerance %11 ms); varying source values: %L12; bad values: %L13; repeated ffids: %L14; picks not judged: %L15.</source>
        <translation>%1：%L2 炮，%L3 个初至（状态 0：%L4，状态 1：%L5，其他：%L6）。异常值：%L7（阈值 %8 毫秒）；超限互换炮对：%L10 对中的 %L9 对（容差 %11 毫秒）；变化的震源值：%L12；坏值：%L13；重复的 ffid：%L14；未评判的初至：%L15。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="423" />
        <source>Shot %1 (ffid %2) holds %L3 picks, too many to show; the other shots can be viewed.</source>
        <translation>第 %1 炮（ffid %2）有 %L3 个初至，数量过多，无法显示；其他炮仍可查看。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="436" />
        <source>Shot %1 &gt; ffid %2</source>
        <translation>第 %1 炮 &gt; ffid %2</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="533" />
        <source>%1: the name must end in .png, .svg or .pdf.</source>
        <translation>%1：文件名必须以 .png、.svg 或 .pdf 结尾。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="547" />
        <location filename="../../fbpickqcwindow.cpp" line="556" />
        <source>Cannot write %1.</source>
        <translation>无法写入 %1。</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="565" />
        <source>Export Plot</source>
        <translation>导出炮点图</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="565" />
        <location filename="../../fbpickqcwindow.cpp" line="574" />
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation>PNG 图像 (*.png);;SVG 矢量图 (*.svg);;PDF 文档 (*.pdf)</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="574" />
        <source>Export Map</source>
        <translation>导出测网图</translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="584" />
        <source>Export Problems to Folder</source>
        <translation>将问题导出到文件夹</translation>
    </message>
</context>
<context>
    <name>ProblemModel</name>
    <message>
        <location filename="../../problemmodel.cpp" line="57" />
        <source>Outlier</source>
        <translation>异常值</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="58" />
        <source>Reciprocity</source>
        <translation>互换性</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="59" />
        <source>Varying source</source>
        <translation>震源值变化</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="60" />
        <source>Bad value</source>
        <translation>坏值</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="61" />
        <source>Repeated ffid</source>
        <translation>重复的 ffid</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="96" />
        <source>channel %1, offset %2: fb_time %3 ms against the model's %4 ms</source>
        <translation>道 %1，偏移距 %2：fb_time 为 %3 毫秒，模型为 %4 毫秒</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="104" />
        <source>ffid %1 at ffid %2's source: %3 ms; the other way round: %4 ms</source>
        <translation>ffid %1 在 ffid %2 炮点处：%3 毫秒；反向：%4 毫秒</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="112" />
        <source>%1 varies: %2 records differ from the shot's most common value</source>
        <translation>%1 不一致：%2 条记录与该炮最常见的值不同</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="119" />
        <source>%1 is negative</source>
        <translation>%1 为负数</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="119" />
        <source>%1 is not a finite number</source>
        <translation>%1 不是有限数</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="122" />
        <source>ffid %1 already names shot %2</source>
        <translation>ffid %1 已用于第 %2 炮</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="162" />
        <source>Kind</source>
        <translation>类型</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="163" />
        <source>Shot</source>
        <translation>炮</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="164" />
        <source>ffid</source>
        <translation>ffid</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="165" />
        <source>Record</source>
        <translation>记录</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="166" />
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="167" />
        <source>Detail</source>
        <translation>详情</translation>
    </message>
</context>
<context>
    <name>QcCsv</name>
    <message>
        <location filename="../../qccsv.cpp" line="34" />
        <location filename="../../qccsv.cpp" line="43" />
        <source>Cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <location filename="../../qccsv.cpp" line="54" />
        <source>Cannot make the folder %1.</source>
        <translation>无法创建文件夹 %1。</translation>
    </message>
</context>
<context>
    <name>ShotPlot</name>
    <message>
        <location filename="../../shotplot.cpp" line="50" />
        <source>Status 0</source>
        <translation>状态 0</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="51" />
        <source>Status 1</source>
        <translation>状态 1</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="52" />
        <source>Other status</source>
        <translation>其他状态</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="54" />
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="56" />
        <source>Model</source>
        <translation>模型</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="67" />
        <source>Signed offset</source>
        <translation>带符号偏移距</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="68" />
        <location filename="../../shotplot.cpp" line="98" />
        <source>First-break time (ms)</source>
        <translation>初至时间（毫秒）</translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="97" />
        <source>Reduced time t - |x| / %1 (ms)</source>
        <translation>折合时间 t - |x| / %1（毫秒）</translation>
    </message>
</context>
<context>
    <name>ShotTableModel</name>
    <message>
        <location filename="../../shottablemodel.cpp" line="159" />
        <source>%1 differs from the shot's most common value, %2.</source>
        <translation>%1 与该炮最常见的值 %2 不同。</translation>
    </message>
    <message>
        <location filename="../../shottablemodel.cpp" line="166" />
        <source>Outlier: %1 ms off the fitted first-break curve (model %2 ms).</source>
        <translation>异常值：偏离拟合初至曲线 %1 毫秒（模型 %2 毫秒）。</translation>
    </message>
    <message>
        <location filename="../../shottablemodel.cpp" line="170" />
        <source>Not judged: too few picks on this side of the source, or no finite time.</source>
        <translation>未评判：炮点这一侧的初至太少，或时间不是有限数。</translation>
    </message>
</context>
<context>
    <name>SurveyMap</name>
    <message>
        <location filename="../../surveymap.cpp" line="143" />
        <source>Shot %1</source>
        <translation>第 %1 炮</translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="160" />
        <source>Easting</source>
        <translation>东坐标</translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="161" />
        <source>Northing</source>
        <translation>北坐标</translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285" />
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285" />
        <source>RMS residual (ms)</source>
        <translation>均方根残差（毫秒）</translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285" />
        <source>Picks</source>
        <translation>初至数</translation>
    </message>
</context>
</TS>