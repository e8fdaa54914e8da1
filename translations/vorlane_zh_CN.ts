<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>vorlane</name>
    <message>
        <source>%1 is a link, not a sidecar</source>
        <translation>%1 是链接，不是附属文件</translation>
    </message>
    <message>
        <source>%1 cannot be read: %2</source>
        <translation>无法读取 %1：%2</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 不是普通文件</translation>
    </message>
    <message>
        <source>%1 is too large for a sidecar</source>
        <translation>%1 太大，不像附属文件</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
</context>
<context>
    <name>vorlane::AppModel</name>
    <message>
        <source>This photo is not in a burst</source>
        <translation>这张不在连拍组中</translation>
    </message>
    <message>
        <source>The rest of this burst is marked already</source>
        <translation>此组其余照片都已标记</translation>
    </message>
    <message numerus="yes">
        <source>Kept this one: marked the other %n of its burst (Ctrl+Z undoes)</source>
        <translation>
            <numerusform>保留此张：已标记此组其余 %n 张（Ctrl+Z 撤销）</numerusform>
        </translation>
    </message>
    <message>
        <source>Every cell here is marked</source>
        <translation>这里的每一项都已标记</translation>
    </message>
    <message numerus="yes">
        <source>Kept this one and unmarked it: marked the other %n of its burst (Ctrl+Z undoes)</source>
        <translation>
            <numerusform>保留此张并取消其标记：已标记此组其余 %n 张（Ctrl+Z 撤销）</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::BrowserGrid</name>
    <message>
        <source>Unmark</source>
        <translation>取消标记</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>标记</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>Show in the file manager</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message>
        <source>The copy could not be made: %1</source>
        <translation>副本生成失败：%1</translation>
    </message>
    <message>
        <source>The copy belongs to another photo</source>
        <translation>副本属于另一张照片</translation>
    </message>
    <message>
        <source>No file manager answered: %1</source>
        <translation>没有文件管理器响应：%1</translation>
    </message>
    <message>
        <source>Every cell here is marked. V shows the marked ones, or all.</source>
        <translation>这里的每一项都已标记。按 V 查看已标记项或全部。</translation>
    </message>
    <message>
        <source>Nothing here is marked. V shows the unmarked ones, or all.</source>
        <translation>这里没有已标记项。按 V 查看未标记项或全部。</translation>
    </message>
    <message>
        <source>The original cannot be read right now, so whether the copy is its own cannot be told</source>
        <translation>原片暂时无法读取，无法判断副本是否属于它</translation>
    </message>
    <message>
        <source>This file cannot be decoded: it may be cut short or damaged</source>
        <translation>无法解码此文件：它可能不完整或已损坏</translation>
    </message>
</context>
<context>
    <name>vorlane::CellPainter</name>
    <message>
        <source>Discard</source>
        <translation>丢弃</translation>
    </message>
    <message>
        <source>Sharpest</source>
        <translation>最清晰</translation>
    </message>
    <message>
        <source>Burst %1/%2 · sharpest</source>
        <translation>连拍 %1/%2 · 最清晰</translation>
    </message>
    <message>
        <source>Burst %1/%2</source>
        <translation>连拍 %1/%2</translation>
    </message>
    <message>
        <source>%1/%2 marked</source>
        <translation>%1/%2 已标记</translation>
    </message>
    <message>
        <source>Can&apos;t decode</source>
        <translation>无法解码</translation>
    </message>
</context>
<context>
    <name>vorlane::CompareView</name>
    <message>
        <source>Reference</source>
        <translation>参考</translation>
    </message>
    <message>
        <source>Candidate</source>
        <translation>候选</translation>
    </message>
    <message>
        <source>Marked for discarding</source>
        <translation>已标记丢弃</translation>
    </message>
    <message>
        <source>←→ candidate · R make reference · D mark candidate · K keep reference · Z 100% · I info · Esc close</source>
        <translation>←→ 换候选 · R 设为参考 · D 标记候选 · K 保留参考 · Z 100% · I 信息 · Esc 关闭</translation>
    </message>
</context>
<context>
    <name>vorlane::CopyMarks</name>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message>
        <source>%1 cannot be read right now, so whether its copy is its own cannot be told; nothing changed. Open the folder again once it can be read.</source>
        <translation>%1 暂时无法读取，无法判断副本是否属于它；未做任何更改。待可以读取时请重新打开此文件夹。</translation>
    </message>
</context>
<context>
    <name>vorlane::Decisions</name>
    <message>
        <source>Rating and label not written: %1</source>
        <translation>评分和标签未写入：%1</translation>
    </message>
</context>
<context>
    <name>vorlane::DiscardConsent</name>
    <message>
        <source>Discard originals without a copy?</source>
        <translation>丢弃没有副本的原片？</translation>
    </message>
    <message numerus="yes">
        <source>%n marked cell(s) cannot be decoded, so no copy of them could be made:</source>
        <translation>
            <numerusform>%n 个已标记项无法解码，因此无法为它们生成副本：</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>A newer decoder might still read them. Moved to the Trash, they come back with Ctrl+Z, as any discard does.</source>
        <translation>更新的解码器也许仍能读取它们。移到回收站后，与任何丢弃一样，可按 Ctrl+Z 恢复。</translation>
    </message>
    <message>
        <source>Move Them to the &amp;Trash Too</source>
        <translation>也移到回收站(&amp;T)</translation>
    </message>
    <message numerus="yes">
        <source>&amp;Only the %n With Copies</source>
        <translation>
            <numerusform>只丢弃有副本的 %n 个(&amp;O)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vorlane::DiscardRun</name>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies not finished %1</source>
        <translation>
            <numerusform>跳过 %n 个已标记项：副本未完成 %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies failed %1</source>
        <translation>
            <numerusform>跳过 %n 个已标记项：副本失败 %1</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Skipped %n marked cell(s): copies not finished %1, copies failed %2</source>
        <translation>
            <numerusform>跳过 %n 个已标记项：副本未完成 %1，副本失败 %2</numerusform>
        </translation>
    </message>
    <message>
        <source>No originals to discard</source>
        <translation>没有可丢弃的原片</translation>
    </message>
    <message>
        <source>its copy no longer exists</source>
        <translation>它的副本已不存在</translation>
    </message>
    <message>
        <source>the copy belongs to another photo</source>
        <translation>副本属于另一张照片</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message numerus="yes">
        <source>Discarded %n file(s), %1 failed</source>
        <translation>
            <numerusform>已丢弃 %n 个文件，%1 个失败</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Discarded %n file(s)</source>
        <translation>
            <numerusform>已丢弃 %n 个文件</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Not moved to the Trash: %1 and %n more</source>
        <translation>
            <numerusform>未移到回收站：%1 等另外 %n 个文件</numerusform>
        </translation>
    </message>
    <message>
        <source>Not moved to the Trash: %1</source>
        <translation>未移到回收站：%1</translation>
    </message>
    <message numerus="yes">
        <source>Put back %n file(s)</source>
        <translation>
            <numerusform>已恢复 %n 个文件</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Put back %n file(s), %1 not</source>
        <translation>
            <numerusform>已恢复 %n 个文件，%1 个未恢复</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <translation>
            <numerusform>%1 等另外 %n 个文件</numerusform>
        </translation>
    </message>
    <message>
        <source>it changed since its copy failed</source>
        <translation>副本失败后文件已被改动</translation>
    </message>
    <message>
        <source>it changed since its copy was made</source>
        <translation>副本制作后文件已被改动</translation>
    </message>
    <message>
        <source>it cannot be read right now</source>
        <translation>暂时无法读取</translation>
    </message>
    <message>
        <source>the discard was stopped</source>
        <translation>丢弃已停止</translation>
    </message>
    <message>
        <source>%1 (a sidecar whose original went to the Trash): %2</source>
        <translation>%1（原片已移入废纸篓的附属文件）：%2</translation>
    </message>
</context>
<context>
    <name>vorlane::FilterMenu</name>
    <message>
        <source>Any Rating</source>
        <translation>任意星级</translation>
    </message>
    <message>
        <source>At Least</source>
        <translation>至少</translation>
    </message>
    <message>
        <source>Any Label</source>
        <translation>任意标签</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>红色</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>黄色</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>绿色</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>蓝色</translation>
    </message>
    <message>
        <source>Purple</source>
        <translation>紫色</translation>
    </message>
    <message>
        <source>No Label</source>
        <translation>无标签</translation>
    </message>
    <message>
        <source>Colour Label</source>
        <translation>颜色标签</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>相机</translation>
    </message>
    <message>
        <source>Any Camera</source>
        <translation>任意相机</translation>
    </message>
    <message>
        <source>Lens</source>
        <translation>镜头</translation>
    </message>
    <message>
        <source>Any Lens</source>
        <translation>任意镜头</translation>
    </message>
    <message>
        <source>Clear Filters</source>
        <translation>清除筛选</translation>
    </message>
</context>
<context>
    <name>vorlane::FolderListing</name>
    <message>
        <source>Cannot read the folder: %1</source>
        <translation>无法读取目录：%1</translation>
    </message>
</context>
<context>
    <name>vorlane::InfoPanel</name>
    <message>
        <source>Reading…</source>
        <translation>读取中…</translation>
    </message>
    <message>
        <source>Taken</source>
        <translation>拍摄时间</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>相机</translation>
    </message>
    <message>
        <source>Lens</source>
        <translation>镜头</translation>
    </message>
    <message>
        <source>Shutter</source>
        <translation>快门</translation>
    </message>
    <message>
        <source>Aperture</source>
        <translation>光圈</translation>
    </message>
    <message>
        <source>ISO</source>
        <translation>ISO</translation>
    </message>
    <message>
        <source>Focal length</source>
        <translation>焦距</translation>
    </message>
    <message>
        <source>Exposure compensation</source>
        <translation>曝光补偿</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>时长</translation>
    </message>
    <message>
        <source>Frame rate</source>
        <translation>帧率</translation>
    </message>
    <message>
        <source>Resolution</source>
        <translation>分辨率</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>尺寸</translation>
    </message>
    <message>
        <source>Codec</source>
        <translation>编码</translation>
    </message>
    <message>
        <source>File size</source>
        <translation>文件大小</translation>
    </message>
    <message>
        <source>File</source>
        <translation>文件</translation>
    </message>
</context>
<context>
    <name>vorlane::LargeImageView</name>
    <message>
        <source>Cannot show at 100%: %1</source>
        <translation>无法以 100% 显示：%1</translation>
    </message>
    <message>
        <source>Cannot show this file</source>
        <translation>无法显示此文件</translation>
    </message>
</context>
<context>
    <name>vorlane::MainWindow</name>
    <message>
        <source>Choose a photo folder</source>
        <translation>选择照片目录</translation>
    </message>
    <message>
        <source>Choose a folder with photos or videos</source>
        <translation>选择一个包含照片/视频的目录</translation>
    </message>
    <message>
        <source>&amp;Photos</source>
        <translation>照片(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Open Folder…</source>
        <translation>打开目录…(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Mark / Unmark (D)</source>
        <translation>标记/取消标记 (D)(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Compare (C)</source>
        <translation>对比 (C)(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Keep This One, Mark the Rest of Its Burst (K)</source>
        <translation>保留此张，标记同组其余 (K)(&amp;K)</translation>
    </message>
    <message>
        <source>Discard Ori&amp;ginals</source>
        <translation>丢弃原片(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;Undo Discard</source>
        <translation>撤销丢弃(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Undo Keep This One</source>
        <translation>撤销保留此张(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>视图(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;All (V)</source>
        <translation>全部 (V)(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Unmarked (V)</source>
        <translation>未标记 (V)(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Marked (V)</source>
        <translation>已标记 (V)(&amp;M)</translation>
    </message>
    <message>
        <source>&amp;Next Unmarked (N)</source>
        <translation>下一个未标记 (N)(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Previous Unmarked (Shift+N)</source>
        <translation>上一个未标记 (Shift+N)(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>撤销(&amp;U)</translation>
    </message>
    <message>
        <source>Copies not finished</source>
        <translation>副本尚未完成</translation>
    </message>
    <message numerus="yes">
        <source>%n copy/copies of marked cells are not finished yet.</source>
        <translation>
            <numerusform>还有 %n 个已标记项的副本尚未完成。</numerusform>
        </translation>
    </message>
    <message>
        <source>A mark is kept in its copy. Quit now and the marks of these cells are lost; wait and Vorlane quits when the last copy is made.</source>
        <translation>标记保存在副本中。现在退出，这些项的标记将会丢失；等待则会在最后一个副本完成后自动退出。</translation>
    </message>
    <message>
        <source>&amp;Wait for Them</source>
        <translation>等待完成(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Give Up and Quit</source>
        <translation>放弃并退出(&amp;G)</translation>
    </message>
    <message>
        <source>Quitting when the last copy is made</source>
        <translation>最后一个副本完成后将退出</translation>
    </message>
    <message>
        <source>Collapse &amp;Bursts (G)</source>
        <translation>连拍折叠 (G)(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Undo Rating</source>
        <translation>撤销评分(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Filter</source>
        <translation>筛选(&amp;F)</translation>
    </message>
</context>
<context>
    <name>vorlane::Phrase</name>
    <message>
        <source>no copy name of its own: another file of this folder would share it (rename one of them)</source>
        <translation>没有属于它自己的副本名：本目录中另一个文件会与它共用同一个副本名（请重命名其中一个）</translation>
    </message>
    <message>
        <source>the copy of another file is in the way and cannot be moved aside: %1</source>
        <translation>另一个文件的副本占着这个位置，且无法移到一旁：%1</translation>
    </message>
    <message>
        <source>not enough memory to make the copy</source>
        <translation>内存不足，无法生成副本</translation>
    </message>
    <message>
        <source>cannot decode &quot;%1&quot;: %2</source>
        <translation>无法解码“%1”：%2</translation>
    </message>
    <message>
        <source>%1; cannot decode &quot;%2&quot; either: %3</source>
        <translation>%1；“%2”也无法解码：%3</translation>
    </message>
    <message>
        <source>the picture &quot;%1&quot; is too large to copy (%2 x %3 pixels)</source>
        <translation>图片“%1”太大，无法制作副本（%2 × %3 像素）</translation>
    </message>
    <message>
        <source>cannot encode a JPEG copy of &quot;%1&quot;</source>
        <translation>无法为“%1”编码 JPEG 副本</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot; again</source>
        <translation>无法再次读取“%1”</translation>
    </message>
    <message>
        <source>the file has no video track</source>
        <translation>文件中没有视频轨道</translation>
    </message>
    <message>
        <source>reader: the file cannot be read</source>
        <translation>读取：无法读取文件</translation>
    </message>
    <message>
        <source>reader: the file ends before the end of its video (truncated)</source>
        <translation>读取：文件在视频结束前就结束了（文件不完整）</translation>
    </message>
    <message>
        <source>the picture is too large to decode (%1 x %2 pixels)</source>
        <translation>图片太大，无法解码（%1 × %2 像素）</translation>
    </message>
    <message>
        <source>the camera RAW format is not supported</source>
        <translation>不支持这种相机 RAW 格式</translation>
    </message>
    <message>
        <source>the file is not a picture</source>
        <translation>文件不是图片</translation>
    </message>
    <message>
        <source>the file changed while it was read</source>
        <translation>读取期间文件发生了变化</translation>
    </message>
    <message>
        <source>the embedded picture is not in a photo format</source>
        <translation>内嵌图片不是照片格式</translation>
    </message>
    <message>
        <source>the picture is too large to decode</source>
        <translation>图片太大，无法解码</translation>
    </message>
    <message>
        <source>the file is damaged (too many corrupt-data warnings)</source>
        <translation>文件已损坏（数据错误过多）</translation>
    </message>
    <message>
        <source>the file is damaged (too many scans)</source>
        <translation>文件已损坏（扫描段过多）</translation>
    </message>
    <message>
        <source>the picture is too large to decode (progressive)</source>
        <translation>图片太大，无法解码（渐进式）</translation>
    </message>
    <message>
        <source>the file ends before the end of its picture (truncated)</source>
        <translation>文件在图片结束前就结束了（文件不完整）</translation>
    </message>
    <message>
        <source>the file is damaged</source>
        <translation>文件已损坏</translation>
    </message>
    <message>
        <source>the embedded picture is empty</source>
        <translation>内嵌图片是空的</translation>
    </message>
    <message>
        <source>the file is damaged or not a picture</source>
        <translation>文件已损坏或不是图片</translation>
    </message>
    <message>
        <source>the copy is larger than the original, even at a lower bit rate</source>
        <translation>即使降低码率，副本仍比原片大</translation>
    </message>
    <message>
        <source>the original cannot be read right now</source>
        <translation>原片暂时无法读取</translation>
    </message>
    <message>
        <source>cannot read &quot;%1&quot;</source>
        <translation>无法读取“%1”</translation>
    </message>
    <message>
        <source>&quot;%1&quot; changed while its copy was being made</source>
        <translation>制作副本期间“%1”被改动</translation>
    </message>
</context>
<context>
    <name>vorlane::PictureOverlays</name>
    <message>
        <source>From the camera&apos;s embedded preview</source>
        <translation>来自相机内嵌预览</translation>
    </message>
</context>
<context>
    <name>vorlane::PreviewLoader</name>
    <message>
        <source>No picture in this clip</source>
        <translation>这段视频中没有画面</translation>
    </message>
    <message>
        <source>Not enough memory to decode it</source>
        <translation>内存不足，无法解码</translation>
    </message>
</context>
<context>
    <name>vorlane::PreviewOverlay</name>
    <message>
        <source>Marked for discarding</source>
        <translation>已标记丢弃</translation>
    </message>
    <message>
        <source>Space closes · ←→ step · D marks</source>
        <translation>空格关闭 · ←→ 切换 · D 标记</translation>
    </message>
</context>
<context>
    <name>vorlane::ProgressText</name>
    <message>
        <source>Done %1 · failed %2</source>
        <translation>已完成 %1 · 失败 %2</translation>
    </message>
    <message>
        <source>Done %1</source>
        <translation>已完成 %1</translation>
    </message>
    <message>
        <source>Copies %1</source>
        <translation>压缩 %1</translation>
    </message>
    <message>
        <source>running %1</source>
        <translation>进行中 %1</translation>
    </message>
    <message>
        <source>queued %1</source>
        <translation>排队 %1</translation>
    </message>
    <message>
        <source>failed %1</source>
        <translation>失败 %1</translation>
    </message>
</context>
<context>
    <name>vorlane::SettingsPanel</name>
    <message>
        <source>Display settings</source>
        <translation>显示设置</translation>
    </message>
    <message>
        <source>Sort by</source>
        <translation>排序方式</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>按名称</translation>
    </message>
    <message>
        <source>Date taken</source>
        <translation>按拍摄时间</translation>
    </message>
    <message>
        <source>Square tiles</source>
        <translation>正方形填充</translation>
    </message>
    <message>
        <source>Fill (crop)</source>
        <translation>填充（裁剪）</translation>
    </message>
    <message>
        <source>Fit (whole)</source>
        <translation>适配（完整）</translation>
    </message>
    <message>
        <source>RAW+JPG pairs</source>
        <translation>RAW+JPG 配对</translation>
    </message>
    <message>
        <source>Together</source>
        <translation>合并</translation>
    </message>
    <message>
        <source>Apart</source>
        <translation>分开</translation>
    </message>
    <message>
        <source>Thumbnail size</source>
        <translation>缩略图大小</translation>
    </message>
    <message>
        <source>Show file names</source>
        <translation>显示文件名</translation>
    </message>
    <message>
        <source>Show the RAW format label (when names are hidden)</source>
        <translation>显示 RAW 格式标签（隐藏文件名时）</translation>
    </message>
    <message>
        <source>Scroll along with the arrow keys</source>
        <translation>方向键导航时自动滚动</translation>
    </message>
    <message>
        <source>Scroll to a clicked cell</source>
        <translation>点击时自动滚动</translation>
    </message>
</context>
<context>
    <name>vorlane::Sidecars</name>
    <message>
        <source>not valid XMP</source>
        <translation>不是有效的 XMP</translation>
    </message>
    <message>
        <source>%1 is %2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1 is not valid XMP; it was left as it is</source>
        <translation>%1 不是有效的 XMP，已保持原样</translation>
    </message>
    <message>
        <source>%1 cannot be written: the XMP could not be made</source>
        <translation>无法写入 %1：无法生成 XMP</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>无法写入 %1：%2</translation>
    </message>
    <message>
        <source>%1 kept changing while it was written; try again</source>
        <translation>%1 在写入时不断被修改，请重试</translation>
    </message>
</context>
<context>
    <name>vorlane::StartScreen</name>
    <message>
        <source>Vorlane photo culling</source>
        <translation>Vorlane 照片筛选</translation>
    </message>
    <message>
        <source>Choose a folder of photos and videos to start culling</source>
        <translation>选择一个照片/视频目录开始筛选</translation>
    </message>
    <message>
        <source>Choose a folder</source>
        <translation>选择目录</translation>
    </message>
    <message>
        <source>Small copies are made in a _bside folder beside each folder of originals</source>
        <translation>压缩副本将生成在各原片所在目录的 _bside 子文件夹中</translation>
    </message>
</context>
<context>
    <name>vorlane::TopBar</name>
    <message>
        <source>This folder / the opened folder / free on the disk</source>
        <translation>当前目录 / 根目录 / 磁盘可用空间</translation>
    </message>
    <message>
        <source>Display settings</source>
        <translation>显示设置</translation>
    </message>
    <message>
        <source>Discard originals</source>
        <translation>丢弃原片</translation>
    </message>
    <message>
        <source>Go to %1</source>
        <translation>进入 %1</translation>
    </message>
    <message numerus="yes">
        <source>Move the originals of %n marked cell(s) whose copies are made to the Trash</source>
        <translation>
            <numerusform>将 %n 个副本已生成的已标记项的原片移到回收站</numerusform>
        </translation>
    </message>
    <message>
        <source>No originals to discard (mark with D and let the copies finish first)</source>
        <translation>没有可丢弃的原片（需先按 D 标记并完成压缩）</translation>
    </message>
    <message>
        <source>All</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Every cell of the folder (V switches the view)</source>
        <translation>目录中的每一项（按 V 切换视图）</translation>
    </message>
    <message>
        <source>Unmarked</source>
        <translation>未标记</translation>
    </message>
    <message>
        <source>Only the cells not marked: the next pass (V)</source>
        <translation>只显示未标记项：下一轮筛选 (V)</translation>
    </message>
    <message>
        <source>Marked</source>
        <translation>已标记</translation>
    </message>
    <message>
        <source>Only the marked cells and their copies: the review before discarding (V)</source>
        <translation>只显示已标记项及其副本：丢弃前的复查 (V)</translation>
    </message>
    <message numerus="yes">
        <source>%n marked cell(s) cannot be decoded and have no copy: you will be asked about them</source>
        <translation>
            <numerusform>%n 个已标记项无法解码、没有副本：丢弃时会先询问你</numerusform>
        </translation>
    </message>
    <message>
        <source>Checking %1% · Stop</source>
        <translation>核对原片 %1% · 停止</translation>
    </message>
    <message>
        <source>Every original is read and checked against its copy before it moves; click to stop</source>
        <translation>每张原片移走前都会完整读取并与副本核对；点击可停止</translation>
    </message>
    <message>
        <source>Filter by rating, label, camera or lens</source>
        <translation>按星级、标签、相机或镜头筛选</translation>
    </message>
</context>
<context>
    <name>vorlane::TrashService</name>
    <message>
        <source>not a regular file</source>
        <translation>不是普通文件</translation>
    </message>
    <message>
        <source>its entry in the Trash cannot be found</source>
        <translation>找不到它在回收站中的条目</translation>
    </message>
    <message>
        <source>the Trash folder was replaced or moved</source>
        <translation>回收站文件夹已被替换或移走</translation>
    </message>
    <message>
        <source>no longer in the Trash</source>
        <translation>已不在回收站中</translation>
    </message>
    <message>
        <source>the entry in the Trash is no longer the file that was moved</source>
        <translation>回收站中的这个条目已不是移去的文件</translation>
    </message>
    <message>
        <source>the folder it came from no longer exists</source>
        <translation>原文件夹已不存在</translation>
    </message>
    <message>
        <source>the folder it came from was replaced (a symbolic link is on its path)</source>
        <translation>原文件夹已被替换（路径中出现了符号链接）</translation>
    </message>
    <message>
        <source>the folder it came from was replaced</source>
        <translation>原文件夹已被替换</translation>
    </message>
    <message>
        <source>another file now has its name there</source>
        <translation>原位置已有同名文件</translation>
    </message>
</context>
<context>
    <name>vorlane::UndoStack</name>
    <message>
        <source>Nothing more to undo</source>
        <translation>没有更多可撤销的操作</translation>
    </message>
    <message>
        <source>Nothing to undo. Originals discarded before this window opened are in the Trash: restore them from there.</source>
        <translation>没有可撤销的操作。本次启动之前丢弃的原片在回收站中，可从那里恢复。</translation>
    </message>
    <message numerus="yes">
        <source>Undid keep this one: unmarked %n</source>
        <translation>
            <numerusform>已撤销保留此张：取消标记 %n 张</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 is marked again</source>
        <translation>%1 已重新标记</translation>
    </message>
    <message>
        <source>Undid the rating and label of %1</source>
        <translation>已撤销 %1 的评分和标签</translation>
    </message>
</context>
<context>
    <name>vorlane::VideoPlayerView</name>
    <message>
        <source>This player cannot jump within this clip (a newer Qt can); it plays from the start</source>
        <translation>此播放器无法在这段视频中跳转（较新的 Qt 可以），只能从头播放</translation>
    </message>
</context>
</TS>
