<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>FbPickQcWindow</name>
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
</TS>
