<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>vorlane::AppModel</name>
    <message numerus="yes">
        <source>Kept this one: marked the other %n of its burst (Ctrl+Z undoes)</source>
        <translation>
            <numerusform>Kept this one: marked the other one of its burst (Ctrl+Z undoes)</numerusform>
            <numerusform>Kept this one: marked the other %n of its burst (Ctrl+Z undoes)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Kept this one and unmarked it: marked the other %n of its burst (Ctrl+Z undoes)</source>
        <translation>
            <numerusform>Kept this one and unmarked it: marked the other one of its burst (Ctrl+Z undoes)</numerusform>
            <numerusform>Kept this one and unmarked it: marked the other %n of its burst (Ctrl+Z undoes)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::DiscardConsent</name>
    <message numerus="yes">
        <source>%n marked cell(s) cannot be decoded, so no copy of them could be made:</source>
        <translation>
            <numerusform>%n marked cell cannot be decoded, so no copy of it could be made:</numerusform>
            <numerusform>%n marked cells cannot be decoded, so no copy of them could be made:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>&amp;Only the %n With Copies</source>
        <translation>
            <numerusform>&amp;Only the One With a Copy</numerusform>
            <numerusform>&amp;Only the %n With Copies</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::DiscardRun</name>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies not finished %1</source>
        <translation>
            <numerusform>Skipped %n marked cell: copies not finished %1</numerusform>
            <numerusform>Skipped %n marked cells: copies not finished %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies failed %1</source>
        <translation>
            <numerusform>Skipped %n marked cell: copies failed %1</numerusform>
            <numerusform>Skipped %n marked cells: copies failed %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies not finished %1, copies failed %2</source>
        <translation>
            <numerusform>Skipped %n marked cell: copies not finished %1, copies failed %2</numerusform>
            <numerusform>Skipped %n marked cells: copies not finished %1, copies failed %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Discarded %n file(s), %1 failed</source>
        <translation>
            <numerusform>Discarded %n file, %1 failed</numerusform>
            <numerusform>Discarded %n files, %1 failed</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Discarded %n file(s)</source>
        <translation>
            <numerusform>Discarded %n file</numerusform>
            <numerusform>Discarded %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not moved to the Trash: %1 and %n more</source>
        <translation>
            <numerusform>Not moved to the Trash: %1 and %n more</numerusform>
            <numerusform>Not moved to the Trash: %1 and %n more</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Put back %n file(s)</source>
        <translation>
            <numerusform>Put back %n file</numerusform>
            <numerusform>Put back %n files</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Put back %n file(s), %1 not</source>
        <translation>
            <numerusform>Put back %n file, %1 not</numerusform>
            <numerusform>Put back %n files, %1 not</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <translation>
            <numerusform>%1 and %n more</numerusform>
            <numerusform>%1 and %n more</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::MainWindow</name>
    <message numerus="yes">
        <source>%n copy/copies of marked cells are not finished yet.</source>
        <translation>
            <numerusform>%n copy of a marked cell is not finished yet.</numerusform>
            <numerusform>%n copies of marked cells are not finished yet.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::TopBar</name>
    <message numerus="yes">
        <source>Move the originals of %n marked cell(s) whose copies are made to the Trash</source>
        <translation>
            <numerusform>Move the originals of %n marked cell whose copy is made to the Trash</numerusform>
            <numerusform>Move the originals of %n marked cells whose copies are made to the Trash</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n marked cell(s) cannot be decoded and have no copy: you will be asked about them</source>
        <translation>
            <numerusform>%n marked cell cannot be decoded and has no copy: you will be asked about it</numerusform>
            <numerusform>%n marked cells cannot be decoded and have no copy: you will be asked about them</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::UndoStack</name>
    <message numerus="yes">
        <source>Undid keep this one: unmarked %n</source>
        <translation>
            <numerusform>Undid keep this one: unmarked %n</numerusform>
            <numerusform>Undid keep this one: unmarked %n</numerusform>
        </translation>
    </message>
</context>
</TS>
