<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>EditSession</name>
    <message numerus="yes">
        <source>Reject picks (%n)</source>
        <translation>
            <numerusform>Reject %n pick</numerusform>
            <numerusform>Reject %n picks</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Restore picks (%n)</source>
        <translation>
            <numerusform>Restore %n pick</numerusform>
            <numerusform>Restore %n picks</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Reject outliers of shot %1 (%n)</source>
        <translation>
            <numerusform>Reject %n outlier of shot %1</numerusform>
            <numerusform>Reject %n outliers of shot %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Reject outliers of the file (%n)</source>
        <translation>
            <numerusform>Reject %n outlier of the file</numerusform>
            <numerusform>Reject %n outliers of the file</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>PickEditor</name>
    <message numerus="yes">
        <source>Outliers of shot %1 (ffid %2): %n.</source>
        <translation>
            <numerusform>Outliers of shot %1 (ffid %2): %n.</numerusform>
            <numerusform>Outliers of shot %1 (ffid %2): %n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Outliers of the file: %n, in %1.</source>
        <translation>
            <numerusform>Outliers of the file: %n, in %1.</numerusform>
            <numerusform>Outliers of the file: %n, in %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln shot</numerusform>
            <numerusform>%Ln shots</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Edited picks of %1 that no saved copy holds: %n.</source>
        <translation>
            <numerusform>Edited picks of %1 that no saved copy holds: %n.</numerusform>
            <numerusform>Edited picks of %1 that no saved copy holds: %n.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Saved the corrected copy %1 (words changed: %n) and its edit log %2.</source>
        <translation>
            <numerusform>Saved the corrected copy %1 (%n word changed) and its edit log %2.</numerusform>
            <numerusform>Saved the corrected copy %1 (%n words changed) and its edit log %2.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ProblemPanel</name>
    <message numerus="yes">
        <source>%Ln problem(s)</source>
        <translation>
            <numerusform>%Ln problem</numerusform>
            <numerusform>%Ln problems</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln shot</numerusform>
            <numerusform>%Ln shots</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>QcSummary</name>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln shot</numerusform>
            <numerusform>%Ln shots</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln pick</numerusform>
            <numerusform>%Ln picks</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln flagged pair(s)</source>
        <translation>
            <numerusform>%Ln flagged pair</numerusform>
            <numerusform>%Ln flagged pairs</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ShotPanel</name>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln pick</numerusform>
            <numerusform>%Ln picks</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TraceFiller</name>
    <message numerus="yes">
        <source>%Ln trace(s) without a confident onset</source>
        <translation>
            <numerusform>%Ln trace without a confident onset</numerusform>
            <numerusform>%Ln traces without a confident onset</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s) without a trace</source>
        <translation>
            <numerusform>%Ln pick without a trace</numerusform>
            <numerusform>%Ln picks without a trace</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln unpicked trace(s) of %1 picked</source>
        <translation>
            <numerusform>%Ln unpicked trace of %1 picked</numerusform>
            <numerusform>%Ln unpicked traces of %1 picked</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TraceRepicker</name>
    <message numerus="yes">
        <source>Pick %n trace(s) along a line</source>
        <translation>
            <numerusform>Pick %n trace along a line</numerusform>
            <numerusform>Pick %n traces along a line</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Accept suggestions from the traces (%n)</source>
        <translation>
            <numerusform>Accept %n suggestion from the traces</numerusform>
            <numerusform>Accept %n suggestions from the traces</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n pick(s) re-picked from the traces.</source>
        <translation>
            <numerusform>%n pick re-picked from the traces.</numerusform>
            <numerusform>%n picks re-picked from the traces.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new time(s) proposed for the file: Pick &gt; Accept Suggestions sets them.</source>
        <translation>
            <numerusform>%n new time proposed for the file: Pick &gt; Accept Suggestions sets it.</numerusform>
            <numerusform>%n new times proposed for the file: Pick &gt; Accept Suggestions sets them.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n new time(s) proposed for this shot: Pick &gt; Accept Suggestions sets them.</source>
        <translation>
            <numerusform>%n new time proposed for this shot: Pick &gt; Accept Suggestions sets it.</numerusform>
            <numerusform>%n new times proposed for this shot: Pick &gt; Accept Suggestions sets them.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TracesPanel</name>
    <message numerus="yes">
        <source>%Ln pick(s) without a trace</source>
        <translation>
            <numerusform>%Ln pick without a trace</numerusform>
            <numerusform>%Ln picks without a trace</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln trace(s) without a pick</source>
        <translation>
            <numerusform>%Ln trace without a pick</numerusform>
            <numerusform>%Ln traces without a pick</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln trace(s)</source>
        <translation>
            <numerusform>%Ln trace</numerusform>
            <numerusform>%Ln traces</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln shot(s)</source>
        <translation>
            <numerusform>%Ln shot</numerusform>
            <numerusform>%Ln shots</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln pick(s)</source>
        <translation>
            <numerusform>%Ln pick</numerusform>
            <numerusform>%Ln picks</numerusform>
        </translation>
    </message>
</context>
</TS>
