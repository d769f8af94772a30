<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>FbPickQc</name>
    <message>
        <location filename="../../fbpickqc.cpp" line="17"/>
        <location filename="../../fbpickqc.cpp" line="37"/>
        <source>FB Pick QC</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FbPickQcWindow</name>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="66"/>
        <source>FB Pick QC</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="94"/>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="95"/>
        <source>&amp;Open...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="98"/>
        <source>Export &amp;Plot...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="99"/>
        <source>Export &amp;Map...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="100"/>
        <source>Export P&amp;roblems as CSV...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="103"/>
        <source>&amp;Close</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="111"/>
        <source>First shot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="112"/>
        <source>Previous shot (Page Up)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="113"/>
        <source>Next shot (Page Down)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="114"/>
        <source>Last shot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="115"/>
        <source>Previous problem</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="116"/>
        <source>Previous shot with a problem (Shift+N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="117"/>
        <source>Next problem</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="118"/>
        <source>Next shot with a problem (N)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="121"/>
        <source>plain time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="122"/>
        <source>Plot reduced time t - |x| / V; empty plots plain time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="127"/>
        <source>Reset Zoom</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="131"/>
        <source>Shot:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="136"/>
        <source>Reduction velocity:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="151"/>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="155"/>
        <source>Judging the picks...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176"/>
        <source>Outliers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176"/>
        <source>RMS residual</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="176"/>
        <source>Picks</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="181"/>
        <source>Colour sources by:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="203"/>
        <source>All kinds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="210"/>
        <source>Problems:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="298"/>
        <source>Open</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="324"/>
        <source>Loading %1 was cancelled; %2 stays shown.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="325"/>
        <source>Loading %1 was cancelled.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="346"/>
        <source>Cannot open %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="355"/>
        <source>FB Pick QC - %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="358"/>
        <source>The file is incomplete: its header declares %L1 picks, but it holds %L2 complete records. The records it holds are judged.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="381"/>
        <source>%1: %L2 shots, %L3 picks (status 0: %L4, status 1: %L5, other: %L6). Outliers: %L7 (threshold %8 ms); flagged reciprocal pairs: %L9 of %L10 (tolerance %11 ms); varying source values: %L12; bad values: %L13; repeated ffids: %L14; picks not judged: %L15.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="423"/>
        <source>Shot %1 (ffid %2) holds %L3 picks, too many to show; the other shots can be viewed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="436"/>
        <source>Shot %1 &gt; ffid %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="533"/>
        <source>%1: the name must end in .png, .svg or .pdf.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="547"/>
        <location filename="../../fbpickqcwindow.cpp" line="556"/>
        <source>Cannot write %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="565"/>
        <source>Export Plot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="565"/>
        <location filename="../../fbpickqcwindow.cpp" line="574"/>
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="574"/>
        <source>Export Map</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../fbpickqcwindow.cpp" line="584"/>
        <source>Export Problems to Folder</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ProblemModel</name>
    <message>
        <location filename="../../problemmodel.cpp" line="57"/>
        <source>Outlier</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="58"/>
        <source>Reciprocity</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="59"/>
        <source>Varying source</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="60"/>
        <source>Bad value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="61"/>
        <source>Repeated ffid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="96"/>
        <source>channel %1, offset %2: fb_time %3 ms against the model&apos;s %4 ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="104"/>
        <source>ffid %1 at ffid %2&apos;s source: %3 ms; the other way round: %4 ms</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="112"/>
        <source>%1 varies: %2 records differ from the shot&apos;s most common value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="119"/>
        <source>%1 is negative</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="119"/>
        <source>%1 is not a finite number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="122"/>
        <source>ffid %1 already names shot %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="162"/>
        <source>Kind</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="163"/>
        <source>Shot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="164"/>
        <source>ffid</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="165"/>
        <source>Record</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="166"/>
        <source>Value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../problemmodel.cpp" line="167"/>
        <source>Detail</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QcCsv</name>
    <message>
        <location filename="../../qccsv.cpp" line="34"/>
        <location filename="../../qccsv.cpp" line="43"/>
        <source>Cannot write %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../qccsv.cpp" line="54"/>
        <source>Cannot make the folder %1.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ShotPlot</name>
    <message>
        <location filename="../../shotplot.cpp" line="50"/>
        <source>Status 0</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="51"/>
        <source>Status 1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="52"/>
        <source>Other status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="54"/>
        <source>Outliers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="56"/>
        <source>Model</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="67"/>
        <source>Signed offset</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="68"/>
        <location filename="../../shotplot.cpp" line="98"/>
        <source>First-break time (ms)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shotplot.cpp" line="97"/>
        <source>Reduced time t - |x| / %1 (ms)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ShotTableModel</name>
    <message>
        <location filename="../../shottablemodel.cpp" line="159"/>
        <source>%1 differs from the shot&apos;s most common value, %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shottablemodel.cpp" line="166"/>
        <source>Outlier: %1 ms off the fitted first-break curve (model %2 ms).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../shottablemodel.cpp" line="170"/>
        <source>Not judged: too few picks on this side of the source, or no finite time.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SurveyMap</name>
    <message>
        <location filename="../../surveymap.cpp" line="143"/>
        <source>Shot %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="160"/>
        <source>Easting</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="161"/>
        <source>Northing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285"/>
        <source>Outliers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285"/>
        <source>RMS residual (ms)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <location filename="../../surveymap.cpp" line="285"/>
        <source>Picks</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
