<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>CorrectedCopy</name>
    <message>
        <source>%1 was written, but not its edit log: %2</source>
        <translation type="vanished">已写入 %1，但未写入其编辑日志：%2</translation>
    </message>
    <message>
        <source>cannot make a temporary folder beside %1: %2</source>
        <translation>无法在 %1 旁创建临时文件夹：%2</translation>
    </message>
    <message>
        <source>%1 was not written, as its edit log cannot be: %2</source>
        <translation>未写入 %1，因为无法写入其编辑日志：%2</translation>
    </message>
</context>
<context>
    <name>EditSession</name>
    <message>
        <source>the edited shots could not be judged again</source>
        <translation type="vanished">无法重新评判已编辑的炮</translation>
    </message>
    <message>
        <source>Cannot read %1: %2</source>
        <translation type="vanished">无法读取 %1：%2</translation>
    </message>
    <message numerus="yes">
        <source>Reject picks (%n)</source>
        <translation>
            <numerusform>剔除初至（%n 个）</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Restore picks (%n)</source>
        <translation>
            <numerusform>恢复初至（%n 个）</numerusform>
        </translation>
    </message>
    <message>
        <source>fb_time of record %1 (ffid %2, channel %3): %4 ms</source>
        <translation>记录 %1（ffid %2，道 %3）的 fb_time：%4 ms</translation>
    </message>
    <message>
        <source>Shift shot %1 (ffid %2) by %3 ms</source>
        <translation>将第 %1 炮（ffid %2）平移 %3 ms</translation>
    </message>
    <message numerus="yes">
        <source>Reject outliers of shot %1 (%n)</source>
        <translation>
            <numerusform>剔除第 %1 炮的异常值（%n 个）</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Reject outliers of the file (%n)</source>
        <translation>
            <numerusform>剔除整个文件的异常值（%n 个）</numerusform>
        </translation>
    </message>
    <message>
        <source>The edited shots could not be judged again: %1</source>
        <translation>无法重新评判已编辑的炮：%1</translation>
    </message>
    <message>
        <source>pick %1 (ffid %2, channel %3)</source>
        <translation>第 %1 条记录的初至（ffid %2，道 %3）</translation>
    </message>
    <message>
        <source>Reject %1</source>
        <translation>剔除%1</translation>
    </message>
    <message>
        <source>Restore %1</source>
        <translation>恢复%1</translation>
    </message>
    <message>
        <source>The picks were edited while the step was planned: nothing was changed. Try again.</source>
        <translation>准备这一步时拾取又被编辑过：未做任何更改。请重试。</translation>
    </message>
</context>
<context>
    <name>FbBlockReader</name>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
</context>
<context>
    <name>FbCsvExport</name>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>%1 changed while it was read</source>
        <translation>读取期间 %1 发生了变化</translation>
    </message>
</context>
<context>
    <name>FbEditWriter</name>
    <message>
        <source>record %1</source>
        <translation>记录 %1</translation>
    </message>
    <message>
        <source>line %1: %2</source>
        <translation>第 %1 行：%2</translation>
    </message>
    <message>
        <source>%1 line %2: %3</source>
        <translation>%1 第 %2 行：%3</translation>
    </message>
    <message>
        <source>%1: only %2 can be edited</source>
        <translation>%1：只能编辑 %2</translation>
    </message>
    <message>
        <source>%1 is not in %2, which holds records 1..%3</source>
        <translation>%1 不在 %2 中，该文件只有记录 1..%3</translation>
    </message>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>the file shrank while it was copied</source>
        <translation>复制期间文件变小了</translation>
    </message>
    <message>
        <source>%1: %2 is %3 in %4, not %5: the list was made for another file</source>
        <translation>%1：%4 中的 %2 为 %3，而不是 %5：该列表是为另一个文件制作的</translation>
    </message>
    <message>
        <source>%1 is not the file the edits were made for: it was replaced or changed since it was read</source>
        <translation>%1 不是编辑所针对的文件：读取之后它已被替换或更改</translation>
    </message>
    <message>
        <source>%1 changed while it was copied</source>
        <translation>%1 在复制期间被更改</translation>
    </message>
    <message>
        <source>%1 came out of file order</source>
        <translation>%1 未按文件中的顺序给出</translation>
    </message>
</context>
<context>
    <name>FbOutputFile</name>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>it is the input file %1</source>
        <translation>它就是输入文件 %1</translation>
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
        <translation type="vanished">文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation type="vanished">打开(&amp;O)...</translation>
    </message>
    <message>
        <source>Export &amp;Plot...</source>
        <translation type="vanished">导出单炮图(&amp;P)...</translation>
    </message>
    <message>
        <source>Export &amp;Map...</source>
        <translation type="vanished">导出测网图(&amp;M)...</translation>
    </message>
    <message>
        <source>Export P&amp;roblems as CSV...</source>
        <translation type="vanished">将问题导出为 CSV(&amp;R)...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation type="vanished">关闭(&amp;C)</translation>
    </message>
    <message>
        <source>First shot</source>
        <translation type="vanished">第一炮</translation>
    </message>
    <message>
        <source>Previous shot (Page Up)</source>
        <translation type="vanished">上一炮 (Page Up)</translation>
    </message>
    <message>
        <source>Next shot (Page Down)</source>
        <translation type="vanished">下一炮 (Page Down)</translation>
    </message>
    <message>
        <source>Last shot</source>
        <translation type="vanished">最后一炮</translation>
    </message>
    <message>
        <source>Previous problem</source>
        <translation type="vanished">上一个问题</translation>
    </message>
    <message>
        <source>Previous shot with a problem (Shift+N)</source>
        <translation type="vanished">上一个有问题的炮 (Shift+N)</translation>
    </message>
    <message>
        <source>Next problem</source>
        <translation type="vanished">下一个问题</translation>
    </message>
    <message>
        <source>Next shot with a problem (N)</source>
        <translation type="vanished">下一个有问题的炮 (N)</translation>
    </message>
    <message>
        <source>Shot:</source>
        <translation type="vanished">炮：</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="vanished">取消</translation>
    </message>
    <message>
        <source>Judging the picks...</source>
        <translation type="vanished">正在评判初至...</translation>
    </message>
    <message>
        <source>Open</source>
        <translation type="vanished">打开</translation>
    </message>
    <message>
        <source>FB Pick QC - %1</source>
        <translation>初至质控 - %1</translation>
    </message>
    <message>
        <source>Export Plot</source>
        <translation type="vanished">导出单炮图</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation type="vanished">PNG 图像 (*.png);;SVG 矢量图 (*.svg);;PDF 文档 (*.pdf)</translation>
    </message>
    <message>
        <source>Export Map</source>
        <translation type="vanished">导出测网图</translation>
    </message>
    <message>
        <source>Export Problems to Folder</source>
        <translation type="vanished">将问题导出到文件夹</translation>
    </message>
    <message>
        <source>A pick further than this from its shot&apos;s fitted curve is an outlier</source>
        <translation type="vanished">初至偏离本炮拟合曲线超过此值即为异常值</translation>
    </message>
    <message>
        <source>Reciprocal times or repeats that differ by more than this are flagged</source>
        <translation type="vanished">互换时间或重复炮之差超过此值即标为超限</translation>
    </message>
    <message>
        <source>The project folder %1 cannot be written: the thresholds and the file are kept for this run only.</source>
        <translation>无法写入工程文件夹 %1：阈值和文件仅在本次运行中保留。</translation>
    </message>
    <message>
        <source>%1 is not an FB file: %2</source>
        <translation type="vanished">%1 不是初至文件：%2</translation>
    </message>
    <message>
        <source>(%1 of judged picks)</source>
        <translation type="vanished">（占已评判初至的 %1）</translation>
    </message>
    <message>
        <source>(of %L1 compared; %L2 explained by shot timing errors)</source>
        <translation type="vanished">（共比较 %L1 对；其中 %L2 对由炮的时间误差解释）</translation>
    </message>
    <message>
        <source>%1: %2, %3 (status 0: %L4, status 1: %L5, other: %L6; not picked: %L7). Thresholds: outlier %8 ms, reciprocity %9 ms.</source>
        <translation type="vanished">%1：%2，%3（状态 0：%L4，状态 1：%L5，其他：%L6；未拾取：%L7）。阈值：异常值 %8 ms，互换性 %9 ms。</translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation type="vanished">
            <numerusform>%Ln 个初至</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 &gt; %2: %3</source>
        <translation type="vanished">%1 &gt; %2：%3</translation>
    </message>
    <message numerus="yes">
        <source>%Ln flagged pair(s)</source>
        <translation type="vanished">
            <numerusform>%Ln 个超限炮对</numerusform>
        </translation>
    </message>
    <message>
        <source>estimated timing error %1 ms</source>
        <translation type="vanished">估计时间误差 %1 ms</translation>
    </message>
    <message>
        <source>Shots in the most flagged pairs: %1.</source>
        <translation type="vanished">超限炮对最多的炮：%1。</translation>
    </message>
    <message>
        <source>Shot %1 holds %2, too many to show; the other shots can be viewed.</source>
        <translation type="vanished">第 %1 炮有 %2，数量过多，无法显示；其他炮仍可查看。</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2 (reciprocal partner)</source>
        <translation type="vanished">第 %1 炮 &gt; ffid %2（互换炮）</translation>
    </message>
    <message>
        <source>Outlier &gt; </source>
        <translation type="vanished">异常值 &gt; </translation>
    </message>
    <message>
        <source>Pairs &gt; </source>
        <translation type="vanished">炮对 &gt; </translation>
    </message>
    <message>
        <source>Shot</source>
        <translation>炮</translation>
    </message>
    <message>
        <source>Problems</source>
        <translation>问题</translation>
    </message>
    <message>
        <source>Survey</source>
        <translation>测区</translation>
    </message>
    <message>
        <source>%1, the file last browsed, is gone; %2 is opened instead.</source>
        <translation>上次浏览的文件 %1 已不存在；改为打开 %2。</translation>
    </message>
    <message>
        <source>Open &amp;Traces...</source>
        <translation type="vanished">打开地震道(&amp;T)...</translation>
    </message>
    <message>
        <source>Traces</source>
        <translation>地震道</translation>
    </message>
</context>
<context>
    <name>FbQc</name>
    <message>
        <source>No complete record: %1 bytes cannot hold a header and one record</source>
        <translation>没有完整记录：%1 字节容纳不下文件头和一条记录</translation>
    </message>
    <message>
        <source>Declared count: %1 MISMATCH: the file size gives %2 records</source>
        <translation>声明的记录数：%1，不一致：按文件大小应为 %2 条记录</translation>
    </message>
    <message>
        <source>Partial record: %1 bytes after the last complete record</source>
        <translation>残缺记录：最后一条完整记录之后还有 %1 字节</translation>
    </message>
    <message>
        <source>Header offset range: %1 .. %2 REVERSED: this header cannot describe any record; not an FB file?</source>
        <translation>文件头偏移距范围：%1 .. %2，上下限颠倒：该文件头不可能描述任何记录；这不是初至文件？</translation>
    </message>
    <message>
        <source>Header offset range: %1 .. %2 does NOT contain the records&apos; offsets %3 .. %4; not an FB file?</source>
        <translation>文件头偏移距范围：%1 .. %2，不包含记录的偏移距 %3 .. %4；这不是初至文件？</translation>
    </message>
</context>
<context>
    <name>FbQc::Analyzer</name>
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
    <message>
        <source>the file changed while it was read (cut short or rewritten); judge it again once it is complete</source>
        <translation>读取期间文件发生了变化（被截断或被改写）；请在文件完整后重新评判</translation>
    </message>
    <message>
        <source>cannot keep the findings in a temporary file: %1</source>
        <translation>无法将检查结果保存到临时文件：%1</translation>
    </message>
</context>
<context>
    <name>FbQc::EditPlan</name>
    <message>
        <source>Cannot read %1: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 holds no record %2</source>
        <translation>%1 中没有第 %2 条记录</translation>
    </message>
    <message>
        <source>Cannot read %1: it ended before record %2</source>
        <translation>无法读取 %1：文件在第 %2 条记录之前结束</translation>
    </message>
    <message>
        <source>%1 changed while it was read</source>
        <translation>%1 在读取期间被更改</translation>
    </message>
    <message>
        <source>%1 holds no shot %2</source>
        <translation>%1 中没有第 %2 炮</translation>
    </message>
</context>
<context>
    <name>FbQc::Kind</name>
    <message>
        <source>Files without a complete record</source>
        <translation>没有完整记录的文件</translation>
    </message>
    <message>
        <source>Bytes</source>
        <translation>字节</translation>
    </message>
    <message>
        <source>Declared counts that disagree with the size</source>
        <translation>与文件大小不符的声明记录数</translation>
    </message>
    <message>
        <source>Declared</source>
        <translation>声明数</translation>
    </message>
    <message>
        <source>Partial records</source>
        <translation>残缺记录</translation>
    </message>
    <message>
        <source>Headers that cannot describe the records</source>
        <translation>无法描述记录的文件头</translation>
    </message>
    <message>
        <source>Shot timing errors</source>
        <translation>炮的时间误差</translation>
    </message>
    <message>
        <source>Delay</source>
        <translation>延迟</translation>
    </message>
    <message>
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <source>Residual</source>
        <translation>残差</translation>
    </message>
    <message>
        <source>Flagged reciprocal pairs</source>
        <translation>超限互换炮对</translation>
    </message>
    <message>
        <source>Difference</source>
        <translation>差值</translation>
    </message>
    <message>
        <source>Flagged repeats</source>
        <translation>超限重复炮</translation>
    </message>
    <message>
        <source>Runs of zero-filled records</source>
        <translation>全零记录段</translation>
    </message>
    <message>
        <source>Records</source>
        <translation>记录数</translation>
    </message>
    <message>
        <source>Shots too large to judge</source>
        <translation>过大而无法评判的炮</translation>
    </message>
    <message>
        <source>Picks</source>
        <translation>初至数</translation>
    </message>
    <message>
        <source>Varying source attributes</source>
        <translation>炮内变化的震源属性</translation>
    </message>
    <message>
        <source>Repeated ffids</source>
        <translation>重复的 ffid</translation>
    </message>
    <message>
        <source>Shots</source>
        <translation>炮数</translation>
    </message>
    <message>
        <source>Non-finite floats</source>
        <translation>非有限浮点数</translation>
    </message>
    <message>
        <source>Value</source>
        <translation>值</translation>
    </message>
    <message>
        <source>%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, model %7 ms, residual %8 ms</source>
        <translation>%1，记录 %2（fb_no %3，道 %4），偏移距 %5：fb_time %6 ms，模型 %7 ms，残差 %8 ms</translation>
    </message>
    <message>
        <source>%1 and %2: %3 against %4 ms, difference %5 ms</source>
        <translation>%1 与 %2：%3 对 %4 ms，相差 %5 ms</translation>
    </message>
    <message>
        <source>%1 and %2: %3 against %4 ms, difference %5 ms for the sources&apos; depths</source>
        <translation>%1 与 %2：%3 对 %4 ms，计入震源深度后相差 %5 ms</translation>
    </message>
    <message>
        <source>%1 (explained by the timing error of %2)</source>
        <translation>%1（由 %2 的时间误差解释）</translation>
    </message>
    <message>
        <source>%1 and %2 from one source position: %3 ms apart at %4 receivers</source>
        <translation>%1 与 %2 位于同一炮点：在 %4 个检波点处相差 %3 ms</translation>
    </message>
    <message>
        <source>%1 holds %2 picks, too many to judge; its records are checked, its picks are not fitted</source>
        <translation>%1 有 %2 个初至，数量过多，无法评判；已检查其记录，但未拟合其初至</translation>
    </message>
    <message>
        <source>%1: ffid %2 already names shot %3 (%4 shots in all)</source>
        <translation>%1：ffid %2 已用于第 %3 炮（共 %4 炮）</translation>
    </message>
    <message>
        <source>shot %1 &gt; %2</source>
        <translation>第 %1 炮 &gt; %2</translation>
    </message>
    <message>
        <source>record %1 (fb_no %2, ffid %3, channel %4)</source>
        <translation>记录 %1（fb_no %2，ffid %3，道 %4）</translation>
    </message>
    <message>
        <source>%1 (records %2..%3): %4 differs in %5 of %6 records</source>
        <translation>%1（记录 %2..%3）：%4 在 %6 条记录中有 %5 条不同</translation>
    </message>
    <message>
        <source>%1: timing error %2 ms (%3 of %4 pairs agree)</source>
        <translation>%1：时间误差 %2 ms（%4 对中有 %3 对一致）</translation>
    </message>
    <message>
        <source>%1: %2 = %3</source>
        <translation>%1：%2 = %3</translation>
    </message>
    <message>
        <source>%1, records %2..%3: %4 records of zeros, not picks</source>
        <translation>%1，记录 %2..%3：%4 条全零记录，不是初至</translation>
    </message>
    <message>
        <source>%1: timing error %2 ms (its time at the source against %3 neighbours)</source>
        <translation>%1：时间误差 %2 ms（按其震源处时间与 %3 个相邻炮比较）</translation>
    </message>
    <message>
        <source>Offsets that agree with no unit of the coordinates</source>
        <translation>与坐标的任何单位都不相符的偏移距</translation>
    </message>
    <message>
        <source>Agreeing</source>
        <translation>相符</translation>
    </message>
    <message>
        <source>Offsets agree with no unit of the coordinates: of %1 offsets, %2% are %3 times the distance between source and receiver, the most of any of 1, 10, 100 and 1000</source>
        <translation>偏移距与坐标的任何单位都不相符：%1 个偏移距中，有 %2% 是炮点到检波点距离的 %3 倍，在 1、10、100 和 1000 中最多</translation>
    </message>
    <message>
        <source>Runs of picks off by one step</source>
        <translation>整体偏移一个周期的成串拾取</translation>
    </message>
    <message>
        <source>Step</source>
        <translation>偏移量</translation>
    </message>
    <message>
        <source>Fitted velocities no ground has</source>
        <translation>不合实际地层的拟合速度</translation>
    </message>
    <message>
        <source>Velocity</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>negative side</source>
        <translation>负偏移距一侧</translation>
    </message>
    <message>
        <source>positive side</source>
        <translation>正偏移距一侧</translation>
    </message>
    <message>
        <source>%1: %2 picks from channel %3 (offset %4) to channel %5 (offset %6) late by %7 ms as a run: a cycle skip?</source>
        <translation>%1：从道 %3（偏移距 %4）到道 %5（偏移距 %6）的 %2 个拾取成串晚了 %7 ms：是跳周吗？</translation>
    </message>
    <message>
        <source>%1: %2 picks from channel %3 (offset %4) to channel %5 (offset %6) early by %7 ms as a run: a cycle skip?</source>
        <translation>%1：从道 %3（偏移距 %4）到道 %5（偏移距 %6）的 %2 个拾取成串早了 %7 ms：是跳周吗？</translation>
    </message>
    <message>
        <source>%1, %2: segment %3 at %4 m/s, outside %5 to %6 m/s: offsets in another unit, or picks that no curve of refractors follows</source>
        <translation>%1，%2：第 %3 段速度为 %4 米/秒，不在 %5 到 %6 米/秒之间：偏移距的单位不同，或拾取不符合任何折射曲线</translation>
    </message>
    <message>
        <source>Source delays before the shot</source>
        <translation>早于激发的震源延迟</translation>
    </message>
    <message>
        <source>%1: its curves meet offset 0 at %2 ms, before the shot: picks early as a whole, wrong picks near the source, or heights the picks do not follow</source>
        <translation>%1：其曲线在偏移距 0 处为 %2 ms，早于激发：拾取整体偏早，震源附近的拾取有误，或拾取并不随高程变化</translation>
    </message>
    <message>
        <source>Picks off their trace&apos;s onset</source>
        <translation>偏离道起跳的初至</translation>
    </message>
    <message>
        <source>Displacement</source>
        <translation>偏移量</translation>
    </message>
    <message>
        <source>Cycle-skip runs</source>
        <translation>跳周期连续段</translation>
    </message>
    <message>
        <source>First breaks too weak to judge</source>
        <translation>太弱无法判断的初至</translation>
    </message>
    <message>
        <source>Confidence</source>
        <translation>置信度</translation>
    </message>
    <message>
        <source>%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, trace onset %7 ms, %8 ms off</source>
        <translation>%1，记录 %2（fb_no %3，道 %4），偏移距 %5：fb_time %6 ms，道起跳 %7 ms，偏离 %8 ms</translation>
    </message>
    <message>
        <source>late</source>
        <translation>偏晚</translation>
    </message>
    <message>
        <source>early</source>
        <translation>偏早</translation>
    </message>
    <message>
        <source>%1, channels %2 to %3 (%4 picks from record %5): %6 ms off their onsets, one period (%7 ms) %8 where the neighbouring traces continue</source>
        <translation>%1，道 %2 至 %3（自记录 %5 起 %4 个初至）：偏离其起跳 %6 ms，比相邻道延续处%8一个周期（%7 ms）</translation>
    </message>
    <message>
        <source>%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, the first break stands %7 times the noise out of it, too weak to judge</source>
        <translation>%1，记录 %2（fb_no %3，道 %4），偏移距 %5：fb_time %6 ms，初至仅高出噪声 %7 倍，太弱无法判断</translation>
    </message>
</context>
<context>
    <name>FbQc::QcSession</name>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>the edited shots could not be judged again</source>
        <translation>无法重新评判已编辑的炮</translation>
    </message>
    <message>
        <source>Picks off their trace&apos;s onset</source>
        <translation type="vanished">偏离道起跳的初至</translation>
    </message>
    <message>
        <source>Displacement</source>
        <translation type="vanished">偏移量</translation>
    </message>
    <message>
        <source>Cycle-skip runs</source>
        <translation type="vanished">跳周期连续段</translation>
    </message>
    <message>
        <source>First breaks too weak to judge</source>
        <translation type="vanished">太弱无法判断的初至</translation>
    </message>
    <message>
        <source>Confidence</source>
        <translation type="vanished">置信度</translation>
    </message>
    <message>
        <source>%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, trace onset %7 ms, %8 ms off</source>
        <translation type="vanished">%1，记录 %2（fb_no %3，道 %4），偏移距 %5：fb_time %6 ms，道起跳 %7 ms，偏离 %8 ms</translation>
    </message>
    <message>
        <source>late</source>
        <translation type="vanished">偏晚</translation>
    </message>
    <message>
        <source>early</source>
        <translation type="vanished">偏早</translation>
    </message>
    <message>
        <source>%1, channels %2 to %3 (%4 picks from record %5): %6 ms off their onsets, one period (%7 ms) %8 where the neighbouring traces continue</source>
        <translation type="vanished">%1，道 %2 至 %3（自记录 %5 起 %4 个初至）：偏离其起跳 %6 ms，比相邻道延续处%8一个周期（%7 ms）</translation>
    </message>
    <message>
        <source>%1, record %2 (fb_no %3, channel %4), offset %5: fb_time %6 ms, the first break stands %7 times the noise out of it, too weak to judge</source>
        <translation type="vanished">%1，记录 %2（fb_no %3，道 %4），偏移距 %5：fb_time %6 ms，初至仅高出噪声 %7 倍，太弱无法判断</translation>
    </message>
</context>
<context>
    <name>FbQc::Repick</name>
    <message>
        <source>Onset</source>
        <translation>起跳</translation>
    </message>
    <message>
        <source>First peak</source>
        <translation>第一个波峰</translation>
    </message>
    <message>
        <source>First trough</source>
        <translation>第一个波谷</translation>
    </message>
    <message>
        <source>Zero crossing</source>
        <translation>过零点</translation>
    </message>
    <message>
        <source>No snapping</source>
        <translation>不吸附</translation>
    </message>
</context>
<context>
    <name>FbQc::WaveformJudge</name>
    <message>
        <source>Cancelled.</source>
        <translation>已取消。</translation>
    </message>
    <message>
        <source>ffid %1: %2</source>
        <translation>ffid %1：%2</translation>
    </message>
    <message>
        <source>The traces look shifted against the picks by %1 ms (%2% of %3 confident traces agree): is the first sample&apos;s time right?</source>
        <translation>地震道相对初至似乎整体偏移了 %1 ms（%3 个可信地震道中 %2% 一致）：第一个样点的时间对吗？</translation>
    </message>
    <message>
        <source>The position tolerance must be positive.</source>
        <translation>位置容差必须为正数。</translation>
    </message>
</context>
<context>
    <name>FbView::GatherPanel</name>
    <message>
        <source>Wiggle</source>
        <translation>波形</translation>
    </message>
    <message>
        <source>Variable area</source>
        <translation>变面积</translation>
    </message>
    <message>
        <source>Density, grey</source>
        <translation>变密度，灰度</translation>
    </message>
    <message>
        <source>Density, red-white-blue</source>
        <translation>变密度，红白蓝</translation>
    </message>
    <message>
        <source>By offset</source>
        <translation>按偏移距</translation>
    </message>
    <message>
        <source>By channel</source>
        <translation>按道号</translation>
    </message>
    <message>
        <source>Per trace</source>
        <translation>逐道</translation>
    </message>
    <message>
        <source>Each trace scaled to its own peak; off, all to the shot&apos;s peak</source>
        <translation>每道按自身峰值缩放；关闭时全部按该炮峰值缩放</translation>
    </message>
    <message>
        <source>AGC </source>
        <translation>AGC </translation>
    </message>
    <message>
        <source>Automatic gain control over a window of this many ms; 0 for none</source>
        <translation>在这么多 ms 的时窗内做自动增益控制；0 表示不做</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>AGC off</source>
        <translation>AGC 关</translation>
    </message>
    <message>
        <source>Gain </source>
        <translation>增益 </translation>
    </message>
    <message>
        <source>A trace&apos;s peak swings this many trace spacings</source>
        <translation>一道的峰值摆动这么多个道间距</translation>
    </message>
    <message>
        <source>Clip </source>
        <translation>截断 </translation>
    </message>
    <message>
        <source>Amplitudes beyond this many trace spacings are cut</source>
        <translation>超过这么多个道间距的振幅被截去</translation>
    </message>
    <message>
        <source>Pick</source>
        <translation>拾取</translation>
    </message>
    <message>
        <source>Pick on the traces: a click sets the trace&apos;s pick, a drag sets the picks along the line drawn, each snapped to the waveform. The middle button pans, the wheel zooms. Keys: Up and Down move the selected pick a sample earlier or later, Delete rejects it, Insert restores it.</source>
        <translation>在地震道上拾取：单击设置该道的初至，拖动设置所画直线经过各道的初至，每个都吸附到波形上。中键平移，滚轮缩放。按键：上、下方向键把选中的初至提前或推后一个采样，Delete 剔除它，Insert 恢复它。</translation>
    </message>
    <message>
        <source>Snap To</source>
        <translation>吸附到</translation>
    </message>
    <message>
        <source>Snap ±</source>
        <translation>吸附 ±</translation>
    </message>
    <message>
        <source>A picked time moves at most this many ms to snap</source>
        <translation>拾取的时间为吸附最多移动这么多 ms</translation>
    </message>
</context>
<context>
    <name>FbView::GatherView</name>
    <message>
        <source>Shot ffid %1 has no traces in the data set.</source>
        <translation>数据集中没有 ffid 为 %1 的炮的地震道。</translation>
    </message>
    <message>
        <source>No traces are open.</source>
        <translation>未打开地震道。</translation>
    </message>
    <message>
        <source>ffid %1: %L2 traces, %L3 picked</source>
        <translation>ffid %1：%L2 道，%L3 道有初至</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2: %L3 traces, %L4 picked</source>
        <translation>第 %1 炮 &gt; ffid %2：%L3 道，%L4 道有初至</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>道号</translation>
    </message>
    <message>
        <source>Signed offset (%1)</source>
        <translation>带符号偏移距（%1）</translation>
    </message>
    <message>
        <source>Reduced time t - |x| / %1 %2/s (ms)</source>
        <translation>折合时间 t - |x| / %1 %2/s（ms）</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>时间（ms）</translation>
    </message>
    <message>
        <source>Channel %1, offset %2 %3
%4 ms, amplitude %5</source>
        <translation>道号 %1，偏移距 %2 %3
%4 ms，振幅 %5</translation>
    </message>
</context>
<context>
    <name>FbView::ShotPlot</name>
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
        <translation>残差（ms）</translation>
    </message>
    <message>
        <source>Reduced time t - |x| / %1 %2/s (ms)</source>
        <translation>折合时间 t - |x| / %1 %2/s（ms）</translation>
    </message>
    <message>
        <source>Time (ms)</source>
        <translation>时间（ms）</translation>
    </message>
    <message>
        <source>Outlier (off by &gt; %1 ms)</source>
        <translation type="vanished">异常值（偏离超过 %1 ms）</translation>
    </message>
    <message>
        <source>Outlier threshold (±%1 ms)</source>
        <translation type="vanished">异常值阈值（±%1 ms）</translation>
    </message>
    <message>
        <source>%1 %2/s</source>
        <translation>%1 %2/s</translation>
    </message>
    <message>
        <source>intercept %1 ms</source>
        <translation>截距 %1 ms</translation>
    </message>
    <message>
        <source>intercept %1 | %2 ms</source>
        <translation>截距 %1 | %2 ms</translation>
    </message>
    <message>
        <source>Outlier &gt; %1 ms</source>
        <translation>异常值 &gt; %1 ms</translation>
    </message>
    <message>
        <source>Limit ±%1 ms</source>
        <translation>阈值 ±%1 ms</translation>
    </message>
    <message>
        <source>Reduced time as picked t - |x| / %1 %2/s (ms)</source>
        <translation>拾取折合时间 t - |x| / %1 %2/s（ms）</translation>
    </message>
    <message>
        <source>Reduced time at source height t - |x| / %1 %2/s (ms)</source>
        <translation>炮点高程折合时间 t - |x| / %1 %2/s（ms）</translation>
    </message>
    <message>
        <source>Time as picked (ms)</source>
        <translation>拾取时间（ms）</translation>
    </message>
    <message>
        <source>Time at source height (ms)</source>
        <translation>炮点高程时间（ms）</translation>
    </message>
</context>
<context>
    <name>FbView::StationResidualView</name>
    <message>
        <source>Mean residual (ms)</source>
        <translation>平均残差（ms）</translation>
    </message>
    <message>
        <source>Mean residual</source>
        <translation>平均残差</translation>
    </message>
    <message>
        <source>RMS residual (±)</source>
        <translation>均方根残差（±）</translation>
    </message>
    <message>
        <source>Mean beyond ±%1 ms</source>
        <translation>平均残差超出 ±%1 ms</translation>
    </message>
    <message>
        <source>Receiver line %1, station %2</source>
        <translation>检波线 %1，桩号 %2</translation>
    </message>
    <message>
        <source>Receiver: %1</source>
        <translation>检波点：%1</translation>
    </message>
    <message>
        <source>x %1, y %2</source>
        <translation>x %1，y %2</translation>
    </message>
    <message>
        <source>Mean residual: %1 ms</source>
        <translation>平均残差：%1 ms</translation>
    </message>
    <message>
        <source>RMS residual: %1 ms</source>
        <translation>均方根残差：%1 ms</translation>
    </message>
    <message>
        <source>Picks: %L1</source>
        <translation>初至数：%L1</translation>
    </message>
</context>
<context>
    <name>FbView::StationShotView</name>
    <message>
        <source>Shot</source>
        <translation>炮</translation>
    </message>
    <message>
        <source>Difference (ms)</source>
        <translation>互换差（ms）</translation>
    </message>
    <message>
        <source>Residual (ms)</source>
        <translation>残差（ms）</translation>
    </message>
    <message>
        <source>Each cell: the row&apos;s shot minus the shot from the column&apos;s source</source>
        <translation>每个单元：该行的炮减去炮点位于该列的炮</translation>
    </message>
    <message>
        <source>Reading and fitting shots %1 to %2...</source>
        <translation>正在读取并拟合第 %1 至 %2 炮……</translation>
    </message>
    <message>
        <source>Residuals of shots %1 to %2</source>
        <translation>第 %1 至 %2 炮的残差</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2</source>
        <translation>第 %1 炮 &gt; ffid %2</translation>
    </message>
    <message>
        <source>%1, the source of shot %2 &gt; ffid %3</source>
        <translation>%1，第 %2 炮 &gt; ffid %3 的炮点</translation>
    </message>
    <message>
        <source>Reciprocal difference: %1 ms</source>
        <translation>互换差：%1 ms</translation>
    </message>
    <message>
        <source>Reciprocal difference: %1 ms for the sources&apos; depths (%2 ms as picked)</source>
        <translation>互换差：计入震源深度后 %1 ms（按拾取 %2 ms）</translation>
    </message>
    <message>
        <source>Residual: %1 ms (record %L2)</source>
        <translation>残差：%1 ms（记录 %L2）</translation>
    </message>
</context>
<context>
    <name>FbView::SurveyMap</name>
    <message>
        <source>Shot %1</source>
        <translation>第 %1 炮</translation>
    </message>
    <message>
        <source>Easting (%1)</source>
        <translation>东坐标（%1）</translation>
    </message>
    <message>
        <source>Northing (%1)</source>
        <translation>北坐标（%1）</translation>
    </message>
    <message>
        <source>x %1, y %2</source>
        <translation>x %1，y %2</translation>
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
    <name>NavigationBar</name>
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
        <source>Outlier &gt; </source>
        <translation>异常值 &gt; </translation>
    </message>
    <message>
        <source>A pick further than this from its shot&apos;s fitted curve is an outlier</source>
        <translation>初至偏离本炮拟合曲线超过此值即为异常值</translation>
    </message>
    <message>
        <source>Pairs &gt; </source>
        <translation>炮对 &gt; </translation>
    </message>
    <message>
        <source>Reciprocal times or repeats that differ by more than this are flagged</source>
        <translation>互换时间或重复炮之差超过此值即标为超限</translation>
    </message>
    <message>
        <source>Shot:</source>
        <translation>炮：</translation>
    </message>
</context>
<context>
    <name>PickEditor</name>
    <message>
        <source>&apos;%1&apos; is not a time in ms; fb_time is unchanged.</source>
        <translation>“%1”不是以 ms 为单位的时间；fb_time 未改变。</translation>
    </message>
    <message>
        <source>Re&amp;ject Picks</source>
        <translation>剔除初至(&amp;J)</translation>
    </message>
    <message>
        <source>Reject the selected picks: their status becomes the reject status (Delete, R)</source>
        <translation>剔除选中的初至：其状态改为剔除状态 (Delete, R)</translation>
    </message>
    <message>
        <source>Re&amp;store Picks</source>
        <translation>恢复初至(&amp;S)</translation>
    </message>
    <message>
        <source>Put the selected rejected picks back in use (Insert, Shift+R)</source>
        <translation>重新启用选中的已剔除初至 (Insert, Shift+R)</translation>
    </message>
    <message>
        <source>Shi&amp;ft Shot...</source>
        <translation>平移炮(&amp;F)...</translation>
    </message>
    <message>
        <source>Shift every pick of the current shot by a time, such as its estimated timing error</source>
        <translation>将当前炮的所有初至平移一个时间，例如其估计的时间误差</translation>
    </message>
    <message>
        <source>Reject &amp;Outliers of This Shot...</source>
        <translation>剔除本炮的异常值(&amp;O)...</translation>
    </message>
    <message>
        <source>Reject Outliers of the Fi&amp;le...</source>
        <translation>剔除整个文件的异常值(&amp;L)...</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>重做(&amp;R)</translation>
    </message>
    <message>
        <source>Edit &amp;History...</source>
        <translation>编辑历史(&amp;H)...</translation>
    </message>
    <message>
        <source>Reject S&amp;tatus...</source>
        <translation>剔除状态(&amp;T)...</translation>
    </message>
    <message>
        <source>Save Corrected Copy &amp;As...</source>
        <translation>校正副本另存为(&amp;A)...</translation>
    </message>
    <message>
        <source>Export Pic&amp;ks...</source>
        <translation>导出初至(&amp;K)...</translation>
    </message>
    <message>
        <source>&amp;Import Picks...</source>
        <translation>导入初至(&amp;I)...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>编辑(&amp;E)</translation>
    </message>
    <message>
        <source>The selected picks are rejected already.</source>
        <translation>选中的初至已被剔除。</translation>
    </message>
    <message>
        <source>The selected picks are in use already.</source>
        <translation>选中的初至已在使用中。</translation>
    </message>
    <message>
        <source>Shot %1 has no pick to shift.</source>
        <translation>第 %1 炮没有可平移的初至。</translation>
    </message>
    <message>
        <source>Shot %1 has no outlier.</source>
        <translation>第 %1 炮没有异常值。</translation>
    </message>
    <message numerus="yes">
        <source>Outliers of shot %1 (ffid %2): %n.</source>
        <translation>
            <numerusform>第 %1 炮（ffid %2）的异常值：%n 个。</numerusform>
        </translation>
    </message>
    <message>
        <source>Reject them? Their status becomes %1.</source>
        <translation>要剔除它们吗？其状态将改为 %1。</translation>
    </message>
    <message>
        <source>The file has no outlier.</source>
        <translation>文件中没有异常值。</translation>
    </message>
    <message numerus="yes">
        <source>Outliers of the file: %n, in %1.</source>
        <translation>
            <numerusform>整个文件的异常值：%n 个，分布在 %1中。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln 炮</numerusform>
        </translation>
    </message>
    <message>
        <source>Edit History</source>
        <translation>编辑历史</translation>
    </message>
    <message>
        <source>&lt;the file as opened&gt;</source>
        <translation>&lt;打开时的文件&gt;</translation>
    </message>
    <message>
        <source>Click a step to go back or forward to it.</source>
        <translation>单击某一步即可退回或前进到该步。</translation>
    </message>
    <message>
        <source>Reject Status</source>
        <translation>剔除状态</translation>
    </message>
    <message>
        <source>The fb_status that rejecting a pick sets: any value but 0 and 1.</source>
        <translation>剔除初至时设置的 fb_status：除 0 和 1 以外的任意值。</translation>
    </message>
    <message>
        <source>%1 is a status of picks in use; the reject status stays %2.</source>
        <translation>%1 是在用初至的状态；剔除状态仍为 %2。</translation>
    </message>
    <message numerus="yes">
        <source>Edited picks of %1 that no saved copy holds: %n.</source>
        <translation>
            <numerusform>%1 中尚未保存到任何副本的已编辑初至：%n 个。</numerusform>
        </translation>
    </message>
    <message>
        <source>Save a corrected copy first?</source>
        <translation>要先保存校正副本吗？</translation>
    </message>
    <message>
        <source>Save Corrected Copy As</source>
        <translation>校正副本另存为</translation>
    </message>
    <message>
        <source>FB files (*.fb *.cal *.fit)</source>
        <translation>初至文件 (*.fb *.cal *.fit)</translation>
    </message>
    <message>
        <source>Saving the corrected copy %1</source>
        <translation>正在保存校正副本 %1</translation>
    </message>
    <message>
        <source>Cannot save the corrected copy: %1</source>
        <translation>无法保存校正副本：%1</translation>
    </message>
    <message numerus="yes">
        <source>Saved the corrected copy %1 (words changed: %n) and its edit log %2.</source>
        <translation>
            <numerusform>已保存校正副本 %1（更改的字：%n 个）及其编辑日志 %2。</numerusform>
        </translation>
    </message>
    <message>
        <source>Open the corrected copy %1?</source>
        <translation>要打开校正副本 %1 吗？</translation>
    </message>
    <message>
        <source>Unified data format (*.sgt)</source>
        <translation>统一数据格式 (*.sgt)</translation>
    </message>
    <message>
        <source>CSV table of every record (*.csv)</source>
        <translation>所有记录的 CSV 表 (*.csv)</translation>
    </message>
    <message>
        <source>Export Picks</source>
        <translation>导出初至</translation>
    </message>
    <message>
        <source>Exporting the picks to %1</source>
        <translation>正在将初至导出到 %1</translation>
    </message>
    <message>
        <source>Cannot export the picks: %1</source>
        <translation>无法导出初至：%1</translation>
    </message>
    <message>
        <source>Exported %L1 records to %2.</source>
        <translation>已将 %L1 条记录导出到 %2。</translation>
    </message>
    <message>
        <source>Exported %L1 picks between %L2 sensors to %3; left out: %L4 rejected, %L5 without a positive time, %L6 at a non-finite position, %L7 whose source and receiver are one sensor.</source>
        <translation>已将 %L2 个测点之间的 %L1 个初至导出到 %3；未导出：%L4 个已剔除，%L5 个没有正的时间，%L6 个位置不是有限数，%L7 个炮点与检波点为同一测点。</translation>
    </message>
    <message>
        <source>The picks are as edited.</source>
        <translation>导出的是编辑后的初至。</translation>
    </message>
    <message>
        <source>Import Picks</source>
        <translation>导入初至</translation>
    </message>
    <message>
        <source>Save Imported Picks As</source>
        <translation>导入的初至另存为</translation>
    </message>
    <message>
        <source>Importing %1</source>
        <translation>正在导入 %1</translation>
    </message>
    <message>
        <source>Cannot import the picks: %1</source>
        <translation>无法导入初至：%1</translation>
    </message>
    <message>
        <source>Imported %L1 picks in %L2 shots of %3 into %4.</source>
        <translation>已将 %3 中 %L2 炮的 %L1 个初至导入到 %4。</translation>
    </message>
    <message>
        <source>%1: cancelled.</source>
        <translation>%1：已取消。</translation>
    </message>
    <message>
        <source>Gathering the outliers of the file</source>
        <translation>正在收集整个文件的异常值</translation>
    </message>
</context>
<context>
    <name>ProblemModel</name>
    <message>
        <source>Shot</source>
        <translation>炮</translation>
    </message>
    <message>
        <source>Detail</source>
        <translation>详情</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
    <message>
        <source>Outliers</source>
        <translation>异常值</translation>
    </message>
    <message>
        <source>Flagged reciprocal pairs</source>
        <translation>超限互换炮对</translation>
    </message>
    <message>
        <source>Pairs</source>
        <translation>炮对</translation>
    </message>
    <message>
        <source>Shot timing error (ms)</source>
        <translation>炮的时间误差（ms）</translation>
    </message>
    <message>
        <source>Timing (ms)</source>
        <translation>时间误差（ms）</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>其他</translation>
    </message>
    <message>
        <source>Other problems</source>
        <translation>其他问题</translation>
    </message>
</context>
<context>
    <name>ProblemPanel</name>
    <message>
        <source>Problems:</source>
        <translation>问题：</translation>
    </message>
    <message>
        <source>Order:</source>
        <translation>顺序：</translation>
    </message>
    <message>
        <source>The order of the shots in the list, and the order N and Shift+N visit them in</source>
        <translation>列表中各炮的顺序，也是 N 和 Shift+N 依次访问它们的顺序</translation>
    </message>
    <message>
        <source>Worst first</source>
        <translation>最严重的在前</translation>
    </message>
    <message>
        <source>File order</source>
        <translation>文件顺序</translation>
    </message>
    <message numerus="yes">
        <source>%Ln problem(s)</source>
        <translation>
            <numerusform>%Ln 个问题</numerusform>
        </translation>
    </message>
    <message>
        <source>All kinds</source>
        <translation>全部类型</translation>
    </message>
    <message>
        <source>%1, %2</source>
        <translation>%1，%2</translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln 炮</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProgressRow</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
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
    <name>QcActions</name>
    <message>
        <source>&amp;File</source>
        <translation>文件(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <source>Open &amp;Traces...</source>
        <translation>打开地震道(&amp;T)...</translation>
    </message>
    <message>
        <source>Export &amp;Plot...</source>
        <translation>导出单炮图(&amp;P)...</translation>
    </message>
    <message>
        <source>Export Plot</source>
        <translation>导出单炮图</translation>
    </message>
    <message>
        <source>Export &amp;Map...</source>
        <translation>导出测网图(&amp;M)...</translation>
    </message>
    <message>
        <source>Export Map</source>
        <translation>导出测网图</translation>
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
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation>PNG 图像 (*.png);;SVG 矢量图 (*.svg);;PDF 文档 (*.pdf)</translation>
    </message>
    <message>
        <source>Export Problems to Folder</source>
        <translation>将问题导出到文件夹</translation>
    </message>
    <message>
        <source>fb_time &amp;Unit</source>
        <translation>fb_time 单位(&amp;U)</translation>
    </message>
</context>
<context>
    <name>QcCsv</name>
    <message>
        <source>cannot write %1: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>cannot make the folder %1</source>
        <translation>无法创建文件夹 %1</translation>
    </message>
    <message>
        <source>cannot write into the folder %1: %2</source>
        <translation>无法写入文件夹 %1：%2</translation>
    </message>
</context>
<context>
    <name>QcDocument</name>
    <message>
        <source>Judging %1 again was cancelled; it stays shown as judged before.</source>
        <translation>已取消重新评判 %1；仍按先前的评判结果显示。</translation>
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
        <source>%1 is not an FB file: %2</source>
        <translation>%1 不是初至文件：%2</translation>
    </message>
    <message>
        <source>The file is incomplete: its header declares %L1 picks, but it holds %L2 complete records. The records it holds are judged.</source>
        <translation>文件不完整：文件头声明了 %L1 个初至，但只包含 %L2 条完整记录。已评判现有的记录。</translation>
    </message>
</context>
<context>
    <name>QcMapValues</name>
    <message>
        <source>RMS residual (ms)</source>
        <translation>均方根残差（ms）</translation>
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
        <translation>%1 ms</translation>
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
    <message>
        <source>Flagged pairs per shot</source>
        <translation>每炮超限炮对数</translation>
    </message>
    <message>
        <source>Estimated timing error (ms)</source>
        <translation>估计的时间误差（ms）</translation>
    </message>
    <message>
        <source>Timing error: %1 ms (%L2 pairs)</source>
        <translation>时间误差：%1 ms（%L2 对）</translation>
    </message>
</context>
<context>
    <name>QcSummary</name>
    <message>
        <source>%1: %L2</source>
        <translation>%1：%L2</translation>
    </message>
    <message>
        <source>(%1 of judged picks)</source>
        <translation type="vanished">（占已评判初至的 %1）</translation>
    </message>
    <message>
        <source>(of %L1 compared; %L2 explained by shot timing errors)</source>
        <translation type="vanished">（共比较 %L1 对；其中 %L2 对由炮的时间误差解释）</translation>
    </message>
    <message>
        <source>%1: %2, %3 (status 0: %L4, status 1: %L5, other: %L6; not picked: %L7). Thresholds: outlier %8 ms, reciprocity %9 ms.</source>
        <translation>%1：%2，%3（状态 0：%L4，状态 1：%L5，其他：%L6；未拾取：%L7）。阈值：异常值 %8 ms，互换性 %9 ms。</translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln 炮</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln 个初至</numerusform>
        </translation>
    </message>
    <message>
        <source>Nothing found.</source>
        <translation>未发现问题。</translation>
    </message>
    <message>
        <source>%1 &gt; %2: %3</source>
        <translation>%1 &gt; %2：%3</translation>
    </message>
    <message numerus="yes">
        <source>%Ln flagged pair(s)</source>
        <translation>
            <numerusform>%Ln 个超限炮对</numerusform>
        </translation>
    </message>
    <message>
        <source>estimated timing error %1 ms</source>
        <translation type="vanished">估计时间误差 %1 ms</translation>
    </message>
    <message>
        <source>Shots in the most flagged pairs: %1.</source>
        <translation>超限炮对最多的炮：%1。</translation>
    </message>
    <message>
        <source>%1 (%2 of judged picks)</source>
        <translation>%1（占已评判初至的 %2）</translation>
    </message>
    <message>
        <source>%1 (of %2 compared; %3 explained by shot timing errors)</source>
        <translation>%1（共比较 %2 对；其中 %3 对由炮的时间误差解释）</translation>
    </message>
    <message>
        <source>; </source>
        <comment>between the items of a list</comment>
        <translation>；</translation>
    </message>
    <message>
        <source>%1.</source>
        <comment>a list as a sentence</comment>
        <translation>%1。</translation>
    </message>
    <message>
        <source>%1, estimated timing error %2 ms</source>
        <translation>%1，估计时间误差 %2 ms</translation>
    </message>
</context>
<context>
    <name>SgtConverter</name>
    <message>
        <source>cancelled</source>
        <translation>已取消</translation>
    </message>
    <message>
        <source>%1 changed while it was read</source>
        <translation>读取期间 %1 发生了变化</translation>
    </message>
    <message>
        <source>%1 holds no traveltime</source>
        <translation>%1 中没有旅行时</translation>
    </message>
    <message>
        <source>%1 line %2: the offset does not fit an FB file in this length unit</source>
        <translation>%1 第 %2 行：按此长度单位，偏移距超出了初至文件的取值范围</translation>
    </message>
    <message>
        <source>%1 line %2: the time %3 s does not fit an FB file in this time unit</source>
        <translation>%1 第 %2 行：按此时间单位，时间 %3 秒超出了初至文件的取值范围</translation>
    </message>
    <message>
        <source>%1: sensor %2 lies at %3 m, beyond what an FB file&apos;s coordinates hold in this length unit</source>
        <translation>%1：测点 %2 位于 %3 米处，按此长度单位超出了初至文件坐标的取值范围</translation>
    </message>
    <message>
        <source>%1: the elevation of sensor %2 does not fit an FB file in this length unit</source>
        <translation>%1：按此长度单位，测点 %2 的高程超出了初至文件的取值范围</translation>
    </message>
</context>
<context>
    <name>SgtFile</name>
    <message>
        <source>%1 line %2: %3</source>
        <translation>%1 第 %2 行：%3</translation>
    </message>
    <message>
        <source>the first line must be the number of sensors</source>
        <translation>第一行必须是测点数</translation>
    </message>
    <message>
        <source>without a token line a sensor needs 2 (x y) or 3 (x y z) values</source>
        <translation>没有列名行时，每个测点需要 2 个（x y）或 3 个（x y z）值</translation>
    </message>
    <message>
        <source>%1 values where a sensor has %2</source>
        <translation>有 %1 个值，而测点应有 %2 个</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a finite number</source>
        <translation>“%1”不是有限数</translation>
    </message>
    <message>
        <source>after %1 sensors the number of data must follow</source>
        <translation>%1 个测点之后必须是数据个数</translation>
    </message>
    <message>
        <source>%1 values where a datum has %2</source>
        <translation>有 %1 个值，而每条数据应有 %2 个</translation>
    </message>
    <message>
        <source>sensor &apos;%1&apos; is not a number in 1..%2</source>
        <translation>测点“%1”不是 1..%2 中的编号</translation>
    </message>
    <message>
        <source>time &apos;%1&apos; is not a finite number</source>
        <translation>时间“%1”不是有限数</translation>
    </message>
    <message>
        <source>text after the last of the %1 data</source>
        <translation>第 %1 条（最后一条）数据之后还有文字</translation>
    </message>
    <message>
        <source>no number of sensors</source>
        <translation>没有测点数</translation>
    </message>
    <message>
        <source>the file ends after %1 of %2 sensors</source>
        <translation>文件在 %2 个测点中的第 %1 个之后结束</translation>
    </message>
    <message>
        <source>the file ends before the number of data</source>
        <translation>文件在数据个数之前结束</translation>
    </message>
    <message>
        <source>the file ends after %1 of %2 data</source>
        <translation>文件在 %2 条数据中的第 %1 条之后结束</translation>
    </message>
    <message>
        <source>%1 sensors declared, but the rest of the file holds at most %2</source>
        <translation>声明了 %1 个测点，但文件其余部分最多只能容纳 %2 个</translation>
    </message>
    <message>
        <source>%1 data declared, but the rest of the file holds at most %2</source>
        <translation>声明了 %1 条数据，但文件其余部分最多只能容纳 %2 条</translation>
    </message>
    <message>
        <source>a line longer than %1 bytes</source>
        <translation>一行超过 %1 字节</translation>
    </message>
</context>
<context>
    <name>ShiftShotDialog</name>
    <message>
        <source>Shift Shot</source>
        <translation>平移炮</translation>
    </message>
    <message>
        <source>Add a time to every pick of shot %1 (ffid %2); traces nobody picked keep theirs.</source>
        <translation>给第 %1 炮（ffid %2）的每个初至加上一个时间；未拾取的道保持原值。</translation>
    </message>
    <message>
        <source>Its estimated timing error is %1 ms (%2 of %3 pairs agree); the time below takes it off.</source>
        <translation>其估计的时间误差为 %1 ms（%3 对中有 %2 对一致）；下面的时间可将其消除。</translation>
    </message>
    <message>
        <source>The shot is in too few pairs to estimate its timing error.</source>
        <translation>该炮所在的炮对太少，无法估计其时间误差。</translation>
    </message>
    <message>
        <source> ms</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Shift by:</source>
        <translation>平移：</translation>
    </message>
</context>
<context>
    <name>ShotPanel</name>
    <message>
        <source>plain time</source>
        <translation>原始时间</translation>
    </message>
    <message>
        <source>Plot reduced time t - |x| / V; empty plots plain time</source>
        <translation>绘制折合时间 t - |x| / V；留空则绘制原始时间</translation>
    </message>
    <message>
        <source>Residuals</source>
        <translation>残差</translation>
    </message>
    <message>
        <source>Plot each pick&apos;s residual (time - fitted curve) instead of its time</source>
        <translation>绘制每个初至的残差（时间减拟合曲线），而不是其时间</translation>
    </message>
    <message>
        <source>Reset Zoom</source>
        <translation>复位缩放</translation>
    </message>
    <message>
        <source>Reduction velocity:</source>
        <translation>折合速度：</translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln 个初至</numerusform>
        </translation>
    </message>
    <message>
        <source>Shot %1 holds %2, too many to judge: the QC reports it as too large, and its records are listed unfitted, not plotted.</source>
        <translation>第 %1 炮有 %2，数量过多，无法评判：质控将其报告为过大，其记录不经拟合列出，不绘图。</translation>
    </message>
    <message>
        <source>Shot %1 holds %2, too many to show; the other shots can be viewed.</source>
        <translation>第 %1 炮有 %2，数量过多，无法显示；其他炮仍可查看。</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2: %3, too many to judge</source>
        <translation>第 %1 炮 &gt; ffid %2：%3，数量过多，无法评判</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2: %3, too many to show</source>
        <translation>第 %1 炮 &gt; ffid %2：%3，数量过多，无法显示</translation>
    </message>
    <message>
        <source>Shot %1 &gt; ffid %2 (reciprocal partner)</source>
        <translation type="vanished">第 %1 炮 &gt; ffid %2（互换炮）</translation>
    </message>
    <message>
        <source>Reciprocal %1 &gt; %2</source>
        <translation>互换炮 %1 &gt; %2</translation>
    </message>
    <message>
        <source>As picked</source>
        <translation>按拾取</translation>
    </message>
    <message>
        <source>On a line whose picks follow the topography, plot the picks and the curve at their times as picked, the curve following the ground, instead of at the source&apos;s height</source>
        <translation>在初至随地形起伏的测线上，按拾取时间绘制拾取点和曲线（曲线随地表起伏），而不是校正到炮点高程</translation>
    </message>
    <message>
        <source>Plot</source>
        <translation>绘图</translation>
    </message>
    <message>
        <source>Residuals, as picked, reset zoom</source>
        <translation>残差、按拾取、复位缩放</translation>
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
        <translation>异常值：偏离拟合初至曲线 %1 ms（模型 %2 ms）。</translation>
    </message>
    <message>
        <source>Not judged: too few picks on this side of the source, or no finite time.</source>
        <translation type="vanished">未评判：炮点这一侧的初至太少，或时间不是有限数。</translation>
    </message>
    <message>
        <source>Edited; the file holds:</source>
        <translation>已编辑；文件中的值：</translation>
    </message>
    <message>
        <source>fb_time %1 (now %2)</source>
        <translation>fb_time %1（现为 %2）</translation>
    </message>
    <message>
        <source>fb_status %1 (now %2)</source>
        <translation>fb_status %1（现为 %2）</translation>
    </message>
    <message>
        <source>Not judged: a rejected pick.</source>
        <translation>未评判：已剔除的初至。</translation>
    </message>
    <message>
        <source>Not judged: nobody picked this trace.</source>
        <translation>未评判：该道未拾取。</translation>
    </message>
    <message>
        <source>Not judged: its time is no number.</source>
        <translation>未评判：时间不是有限数。</translation>
    </message>
    <message>
        <source>Not judged: a pick at the source, and no time at the source to judge it by.</source>
        <translation>未评判：炮点处的初至，而没有炮点处的时间可据以评判。</translation>
    </message>
    <message>
        <source>Not judged: this side of the source has too few picks for a curve of its own, and the other side&apos;s curve judges only its picks near the source, where most of them agree with it.</source>
        <translation>未评判：炮点这一侧的初至太少，不能拟合自己的曲线；另一侧的曲线只评判这一侧靠近炮点的初至，且须其中多数与之相符。</translation>
    </message>
</context>
<context>
    <name>StationAxis</name>
    <message>
        <source>Receiver station</source>
        <translation>检波点桩号</translation>
    </message>
    <message>
        <source>Distance along the line</source>
        <translation>沿测线距离</translation>
    </message>
    <message>
        <source>Distance along the line (%1)</source>
        <translation>沿测线距离（%1）</translation>
    </message>
    <message>
        <source>no station</source>
        <translation>无桩号</translation>
    </message>
    <message>
        <source>%1 along the line</source>
        <translation>沿测线 %1</translation>
    </message>
    <message>
        <source>line %1, %2 along the line</source>
        <translation>测线 %1，沿测线 %2</translation>
    </message>
    <message>
        <source>line %1, station %2</source>
        <translation>测线 %1，桩号 %2</translation>
    </message>
    <message>
        <source>station %1</source>
        <translation>桩号 %1</translation>
    </message>
    <message>
        <source>Line %1</source>
        <translation>测线 %1</translation>
    </message>
</context>
<context>
    <name>StatusArea</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Judging the picks...</source>
        <translation>正在评判初至...</translation>
    </message>
</context>
<context>
    <name>SurveyPanel</name>
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
        <source>Flagged pairs</source>
        <translation>超限炮对</translation>
    </message>
    <message>
        <source>Timing error</source>
        <translation>时间误差</translation>
    </message>
    <message>
        <source>Reciprocal differences</source>
        <translation>互换差</translation>
    </message>
    <message>
        <source>Residuals</source>
        <translation>残差</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>测网图</translation>
    </message>
    <message>
        <source>Receivers</source>
        <translation>检波点</translation>
    </message>
    <message>
        <source>Stations × shots</source>
        <translation>桩号 × 炮</translation>
    </message>
    <message>
        <source>Colour sources by</source>
        <translation>炮点着色依据</translation>
    </message>
    <message>
        <source>Colour cells by</source>
        <translation>单元着色依据</translation>
    </message>
</context>
<context>
    <name>TraceFiller</name>
    <message>
        <source>Pick This Shot</source>
        <translation>拾取本炮</translation>
    </message>
    <message>
        <source>Pick the traces of this shot that have no pick, from their onsets</source>
        <translation>按起跳点拾取本炮没有初至的地震道</translation>
    </message>
    <message>
        <source>Pick the File</source>
        <translation>拾取整个文件</translation>
    </message>
    <message>
        <source>Pick every trace of the file that has no pick, from its onset</source>
        <translation>按起跳点拾取文件中所有没有初至的地震道</translation>
    </message>
    <message>
        <source>Picking the file: %p%</source>
        <translation>正在拾取文件：%p%</translation>
    </message>
    <message>
        <source>Picking the file was cancelled; no pick changed.</source>
        <translation>拾取文件已取消；没有初至被改动。</translation>
    </message>
    <message>
        <source>Pick shot %1 (ffid %2) from its traces</source>
        <translation>从地震道拾取第 %1 炮（ffid %2）</translation>
    </message>
    <message>
        <source>this shot</source>
        <translation>本炮</translation>
    </message>
    <message>
        <source>Pick the file from its traces</source>
        <translation>从地震道拾取整个文件</translation>
    </message>
    <message>
        <source>the file</source>
        <translation>文件</translation>
    </message>
    <message numerus="yes">
        <source>%Ln trace(s) without a confident onset</source>
        <translation>
            <numerusform>%Ln 道没有可信的起跳点</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s) without a trace</source>
        <translation>
            <numerusform>%Ln 个初至没有地震道</numerusform>
        </translation>
    </message>
    <message>
        <source>Every trace of %1 has a pick.</source>
        <translation>%1的每一道都有初至。</translation>
    </message>
    <message numerus="yes">
        <source>%Ln unpicked trace(s) of %1 picked</source>
        <translation>
            <numerusform>已拾取%1中 %Ln 个未拾取的道</numerusform>
        </translation>
    </message>
    <message>
        <source>; left unpicked: %1</source>
        <translation>；仍未拾取：%1</translation>
    </message>
</context>
<context>
    <name>TraceRepicker</name>
    <message>
        <source>Re-pick Outliers of This Shot from the Traces</source>
        <translation>按地震道重新拾取本炮的异常值</translation>
    </message>
    <message>
        <source>Propose new times, read from this shot&apos;s traces, for the picks the fit flags or the waveforms disown</source>
        <translation>为拟合标出的或波形不认可的初至，从本炮的地震道读出并建议新的时间</translation>
    </message>
    <message>
        <source>Re-pick Outliers of the File from the Traces</source>
        <translation>按地震道重新拾取整个文件的异常值</translation>
    </message>
    <message>
        <source>The same for every shot of the file that has traces</source>
        <translation>对文件中每个有地震道的炮做同样的事</translation>
    </message>
    <message>
        <source>Accept Suggestions</source>
        <translation>接受建议</translation>
    </message>
    <message>
        <source>Set every proposed time, as one edit</source>
        <translation>把所有建议的时间作为一次编辑设置</translation>
    </message>
    <message>
        <source>Dismiss Suggestions</source>
        <translation>放弃建议</translation>
    </message>
    <message>
        <source>Re-picking the file was cancelled.</source>
        <translation>已取消对整个文件的重新拾取。</translation>
    </message>
    <message numerus="yes">
        <source>Pick %n trace(s) along a line</source>
        <translation>
            <numerusform>沿直线拾取 %n 道</numerusform>
        </translation>
    </message>
    <message>
        <source>record %1 (ffid %2, channel %3)</source>
        <translation>第 %1 条记录（ffid %2，道 %3）</translation>
    </message>
    <message>
        <source>Nudge %1 to %2 ms</source>
        <translation>把%1微调到 %2 ms</translation>
    </message>
    <message>
        <source>Pick %1 on its trace: %2 ms</source>
        <translation>在地震道上拾取%1：%2 ms</translation>
    </message>
    <message>
        <source>The traces cannot be read: %1</source>
        <translation>无法读取地震道：%1</translation>
    </message>
    <message numerus="yes">
        <source>Accept suggestions from the traces (%n)</source>
        <translation>
            <numerusform>接受来自地震道的建议（%n）</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n pick(s) re-picked from the traces.</source>
        <translation>
            <numerusform>已按地震道重新拾取 %n 个初至。</numerusform>
        </translation>
    </message>
    <message>
        <source>The traces propose no new time for the file&apos;s flagged picks.</source>
        <translation>地震道没有为文件中被标出的初至建议新的时间。</translation>
    </message>
    <message>
        <source>The traces propose no new time for this shot&apos;s flagged picks.</source>
        <translation>地震道没有为本炮被标出的初至建议新的时间。</translation>
    </message>
    <message numerus="yes">
        <source>%n new time(s) proposed for the file: Pick &gt; Accept Suggestions sets them.</source>
        <translation>
            <numerusform>为文件建议了 %n 个新时间：拾取 &gt; 接受建议 可设置它们。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new time(s) proposed for this shot: Pick &gt; Accept Suggestions sets them.</source>
        <translation>
            <numerusform>为本炮建议了 %n 个新时间：拾取 &gt; 接受建议 可设置它们。</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TracesDialog</name>
    <message>
        <source>Open Traces</source>
        <translation>打开地震道</translation>
    </message>
    <message>
        <source>A SEG-Y file or a folder of SEG-2 files</source>
        <translation>一个 SEG-Y 文件或一个 SEG-2 文件夹</translation>
    </message>
    <message>
        <source>File...</source>
        <translation>文件...</translation>
    </message>
    <message>
        <source>Folder...</source>
        <translation>文件夹...</translation>
    </message>
    <message>
        <source>as the file says</source>
        <translation>按文件所记</translation>
    </message>
    <message>
        <source>The time of every trace&apos;s first sample in ms; empty takes the format&apos;s delay</source>
        <translation>每道第一个样点的时间（ms）；留空则采用格式中的延迟</translation>
    </message>
    <message>
        <source>Traces:</source>
        <translation>地震道：</translation>
    </message>
    <message>
        <source>First sample (ms):</source>
        <translation>第一个样点（ms）：</translation>
    </message>
    <message>
        <source>Open SEG-Y File</source>
        <translation>打开 SEG-Y 文件</translation>
    </message>
    <message>
        <source>SEG-Y files (*.sgy *.segy *.SGY *.SEGY);;All files (*)</source>
        <translation>SEG-Y 文件 (*.sgy *.segy *.SGY *.SEGY);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Folder of SEG-2 Files</source>
        <translation>SEG-2 文件夹</translation>
    </message>
    <message>
        <source>SEG-Y: the trace header byte where the field record number starts</source>
        <translation>SEG-Y：道头中野外记录号起始的字节</translation>
    </message>
    <message>
        <source>SEG-Y: the trace header byte where the channel number starts</source>
        <translation>SEG-Y：道头中道号起始的字节</translation>
    </message>
    <message>
        <source>Shot sequence number</source>
        <translation>炮序号</translation>
    </message>
    <message>
        <source>Number in the file name</source>
        <translation>文件名中的编号</translation>
    </message>
    <message>
        <source>SEG-2: where a file&apos;s ffid comes from</source>
        <translation>SEG-2：文件的 ffid 取自何处</translation>
    </message>
    <message>
        <source>ffid and channel</source>
        <translation>ffid 和道号</translation>
    </message>
    <message>
        <source>Source and receiver position</source>
        <translation>炮点和检波点位置</translation>
    </message>
    <message>
        <source> m</source>
        <translation> m</translation>
    </message>
    <message>
        <source>How far a trace&apos;s source and receiver may lie from a pick&apos;s</source>
        <translation>地震道的炮点和检波点与初至的相距上限</translation>
    </message>
    <message>
        <source>within</source>
        <translation>容差</translation>
    </message>
    <message>
        <source>SEG-Y ffid byte:</source>
        <translation>SEG-Y ffid 字节：</translation>
    </message>
    <message>
        <source>SEG-Y channel byte:</source>
        <translation>SEG-Y 道号字节：</translation>
    </message>
    <message>
        <source>SEG-2 ffid:</source>
        <translation>SEG-2 ffid：</translation>
    </message>
    <message>
        <source>Match picks by:</source>
        <translation>初至匹配方式：</translation>
    </message>
</context>
<context>
    <name>TracesPanel</name>
    <message>
        <source>%1 cannot be opened as traces: %2</source>
        <translation>无法将 %1 作为地震道打开：%2</translation>
    </message>
    <message>
        <source>Opening the traces was cancelled; the traces shown stay.</source>
        <translation>已取消打开地震道；仍显示原来的地震道。</translation>
    </message>
    <message>
        <source>The picks cannot be matched to the traces: %1</source>
        <translation>无法将初至与地震道匹配：%1</translation>
    </message>
    <message>
        <source>No pick of %1 matches a trace of %2 by ffid and channel: the picks&apos; ffids run from %3 to %4, the traces&apos; from %5 to %6.</source>
        <translation>%1 中没有任何初至按 ffid 和道号与 %2 中的地震道匹配：初至的 ffid 从 %3 到 %4，地震道的从 %5 到 %6。</translation>
    </message>
    <message>
        <source>unreadable</source>
        <translation>无法读取</translation>
    </message>
    <message>
        <source>Shot ffid %1 has no traces in the data set.</source>
        <translation>数据集中没有 ffid 为 %1 的炮的地震道。</translation>
    </message>
    <message>
        <source>The traces of ffid %1 cannot be read: %2</source>
        <translation>无法读取 ffid 为 %1 的地震道：%2</translation>
    </message>
    <message>
        <source>Every pick of this shot has its trace.</source>
        <translation>本炮每个初至都有对应的地震道。</translation>
    </message>
    <message>
        <source>This shot: %1, %2.</source>
        <translation>本炮：%1，%2。</translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s) without a trace</source>
        <translation>
            <numerusform>%Ln 个初至没有地震道</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln trace(s) without a pick</source>
        <translation>
            <numerusform>%Ln 道没有初至</numerusform>
        </translation>
    </message>
    <message>
        <source>No traces are open: File &gt; Open Traces... shows a SEG-Y file or a folder of SEG-2 files under the picks.</source>
        <translation>未打开地震道：文件 &gt; 打开地震道... 可在初至下显示一个 SEG-Y 文件或一个 SEG-2 文件夹。</translation>
    </message>
    <message>
        <source>Open Traces...</source>
        <translation>打开地震道...</translation>
    </message>
    <message>
        <source>Shows a SEG-Y file or a folder of SEG-2 files under the picks</source>
        <translation>在初至下显示一个 SEG-Y 文件或一个 SEG-2 文件夹</translation>
    </message>
    <message>
        <source>No traces are open.</source>
        <translation>未打开地震道。</translation>
    </message>
    <message>
        <source>%1 (%2): %3 in %4</source>
        <translation>%1（%2）：%4 中共 %3</translation>
    </message>
    <message numerus="yes">
        <source>%Ln trace(s)</source>
        <translation>
            <numerusform>%Ln 道</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln 炮</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 of %2 matched; %3, %4.</source>
        <translation>%2 中有 %1 个已匹配；%3，%4。</translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln 个初至</numerusform>
        </translation>
    </message>
    <message>
        <source>No pick of %1 matches a trace of %2 by source and receiver position within %3 m.</source>
        <translation>%1 中没有任何初至按炮点和检波点位置（容差 %3 m）与 %2 中的地震道匹配。</translation>
    </message>
    <message>
        <source>The picks cannot be judged against the traces: %1</source>
        <translation>无法按地震道检查初至：%1</translation>
    </message>
</context>
</TS>
