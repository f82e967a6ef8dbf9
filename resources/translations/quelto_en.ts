<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The English forms of every counted text: the singular first, then the plural. -->
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>Counted</name>
    <message numerus="yes">
        <source>%n items</source>
        <translation><numerusform>%n item</numerusform><numerusform>%n items</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n categories</source>
        <translation><numerusform>%n category</numerusform><numerusform>%n categories</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n files</source>
        <translation><numerusform>%n file</numerusform><numerusform>%n files</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n small items</source>
        <translation><numerusform>%n small item</numerusform><numerusform>%n small items</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n apps</source>
        <translation><numerusform>%n app</numerusform><numerusform>%n apps</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Run %n tasks</source>
        <translation><numerusform>Run %n task</numerusform><numerusform>Run %n tasks</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n updates available</source>
        <translation><numerusform>%n update available</numerusform><numerusform>%n updates available</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>and %n others</source>
        <translation><numerusform>and %n other</numerusform><numerusform>and %n others</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n cycles</source>
        <translation><numerusform>%n cycle</numerusform><numerusform>%n cycles</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n GPU cores</source>
        <translation><numerusform>%n GPU core</numerusform><numerusform>%n GPU cores</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%1 · load %2 / %n cores</source>
        <translation><numerusform>%1 · load %2 / %n core</numerusform><numerusform>%1 · load %2 / %n cores</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n cores</source>
        <translation><numerusform>%n core</numerusform><numerusform>%n cores</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n safe caches</source>
        <translation><numerusform>%n safe cache</numerusform><numerusform>%n safe caches</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n days</source>
        <translation><numerusform>%n day</numerusform><numerusform>%n days</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n items · %1 in total</source>
        <translation><numerusform>%n item · %1 in total</numerusform><numerusform>%n items · %1 in total</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Preview: %1 would be freed (%n items)</source>
        <translation><numerusform>Preview: %1 would be freed (%n item)</numerusform><numerusform>Preview: %1 would be freed (%n items)</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Freed %1 · %n items removed</source>
        <translation><numerusform>Freed %1 · %n item removed</numerusform><numerusform>Freed %1 · %n items removed</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Freed %1 · %n items could not be deleted</source>
        <translation><numerusform>Freed %1 · %n item could not be deleted</numerusform><numerusform>Freed %1 · %n items could not be deleted</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n items removed for good</source>
        <translation><numerusform>%n item removed for good</numerusform><numerusform>%n items removed for good</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n items removed · %1 waiting in the Trash</source>
        <translation><numerusform>%n item removed · %1 waiting in the Trash</numerusform><numerusform>%n items removed · %1 waiting in the Trash</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>Move %n items (%1) to the Trash?</source>
        <translation><numerusform>Move %n item (%1) to the Trash?</numerusform><numerusform>Move %n items (%1) to the Trash?</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>You can put them back from the Trash until you empty it.</source>
        <translation><numerusform>You can put it back from the Trash until you empty it.</numerusform><numerusform>You can put them back from the Trash until you empty it.</numerusform></translation>
    </message>
    <message numerus="yes">
        <source>%n items · %1 moved to the Trash</source>
        <translation><numerusform>%n item · %1 moved to the Trash</numerusform><numerusform>%n items · %1 moved to the Trash</numerusform></translation>
    </message>
</context>
</TS>
