<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>CutSizePreset</name>
    <message>
        <source>横VGA</source>
        <translation>Landscape VGA</translation>
    </message>
    <message>
        <source>横WVGA</source>
        <translation>Landscape WVGA</translation>
    </message>
    <message>
        <source>横SVGA</source>
        <translation>Landscape SVGA</translation>
    </message>
    <message>
        <source>横WSVGA</source>
        <translation>Landscape WSVGA</translation>
    </message>
    <message>
        <source>横XGA</source>
        <translation>Landscape XGA</translation>
    </message>
    <message>
        <source>横HD</source>
        <translation>Landscape HD</translation>
    </message>
    <message>
        <source>横XGA+</source>
        <translation>Landscape XGA+</translation>
    </message>
    <message>
        <source>横SXGA</source>
        <translation>Landscape SXGA</translation>
    </message>
    <message>
        <source>横UXGA</source>
        <translation>Landscape UXGA</translation>
    </message>
    <message>
        <source>横FHD</source>
        <translation>Landscape Full HD</translation>
    </message>
    <message>
        <source>縦VGA</source>
        <translation>Portrait VGA</translation>
    </message>
    <message>
        <source>縦WVGA</source>
        <translation>Portrait WVGA</translation>
    </message>
    <message>
        <source>縦WVGA+</source>
        <translation>Portrait WVGA+</translation>
    </message>
    <message>
        <source>縦FWVGA</source>
        <translation>Portrait FWVGA</translation>
    </message>
    <message>
        <source>縦QHD</source>
        <translation>Portrait qHD</translation>
    </message>
    <message>
        <source>縦DVGA</source>
        <translation>Portrait DVGA</translation>
    </message>
    <message>
        <source>縦XGA</source>
        <translation>Portrait XGA</translation>
    </message>
    <message>
        <source>ヤフオク</source>
        <translation>Yahoo! Auctions</translation>
    </message>
</context>
<context>
    <name>Desktop</name>
    <message>
        <source>警告</source>
        <translation>Warning</translation>
    </message>
    <message>
        <source>エラー</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>情報</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>はい(&amp;Y)</source>
        <translation>&amp;Yes</translation>
    </message>
    <message>
        <source>いいえ(&amp;N)</source>
        <translation>&amp;No</translation>
    </message>
    <message>
        <source>フォルダ %1 は存在しません。</source>
        <translation>The folder %1 does not exist.</translation>
    </message>
</context>
<context>
    <name>Failure</name>
    <message>
        <source>処理中にエラーが発生したので、処理を中止しました。</source>
        <translation>An error occurred, so the command was stopped.</translation>
    </message>
    <message>
        <source>
エラーコード：8このコマンドを実行するのに十分な記憶域がありません。</source>
        <translation>
Error code 8: there is not enough memory to run this command.</translation>
    </message>
</context>
<context>
    <name>MainControls</name>
    <message>
        <source>横</source>
        <translation>W</translation>
    </message>
    <message>
        <source>画像の読み込み・保存関連のメニュー</source>
        <translation>Opening and saving pictures</translation>
    </message>
    <message>
        <source>画像の編集関連のメニュー</source>
        <translation>Editing the picture</translation>
    </message>
    <message>
        <source>このメニューを表示した状態で画像をドラッグ＆ドロップすると、画像を連結できます</source>
        <translation>While this page shows, drop a picture to join it to the one being edited</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source> 加&#x3000;工&#x3000;(&amp;E)</source>
        <translation>&amp;Edit</translation>
    </message>
    <message>
        <source>連結モード(&amp;A)</source>
        <translation>&amp;Join</translation>
    </message>
    <message>
        <source>開く (&amp;O)</source>
        <translation>&amp;Open</translation>
    </message>
    <message>
        <source>画像ファイルを読み込みます（ドラッグ＆ドロップでも読み込めます）</source>
        <translation>Opens a picture file (you can also drop one on the window)</translation>
    </message>
    <message>
        <source>貼り付け(&amp;P)</source>
        <translation>&amp;Paste</translation>
    </message>
    <message>
        <source>クリップボードの画像を貼り付けます</source>
        <translation>Pastes the picture on the clipboard</translation>
    </message>
    <message>
        <source>リロード(&amp;Z)</source>
        <translation>&amp;Reload</translation>
    </message>
    <message>
        <source>画像ファイルを読み直します</source>
        <translation>Opens the picture file again</translation>
    </message>
    <message>
        <source>フォルダ(&amp;U)</source>
        <translation>Fo&amp;lder</translation>
    </message>
    <message>
        <source>編集中の（または以前に編集したことのある）画像のフォルダを開きます</source>
        <translation>Opens the folder of the picture being edited (or of the last one edited)</translation>
    </message>
    <message>
        <source>枠内コピー(&amp;C)</source>
        <translation>&amp;Copy frame</translation>
    </message>
    <message>
        <source>画像の枠内をクリップボードにコピーします</source>
        <translation>Copies the framed part of the picture to the clipboard</translation>
    </message>
    <message>
        <source>このままコピー</source>
        <translation>Copy all</translation>
    </message>
    <message>
        <source>画像全体をクリップボードにコピーします</source>
        <translation>Copies the whole picture to the clipboard</translation>
    </message>
    <message>
        <source>枠内保存(&amp;X)</source>
        <translation>&amp;Save frame</translation>
    </message>
    <message>
        <source>画像の枠内を切り出して保存します</source>
        <translation>Cuts out the framed part and saves it</translation>
    </message>
    <message>
        <source>このまま保存</source>
        <translation>Save all</translation>
    </message>
    <message>
        <source>画像全体を保存します</source>
        <translation>Saves the whole picture</translation>
    </message>
    <message>
        <source> プレビュー(&amp;D)</source>
        <translation>Pre&amp;view</translation>
    </message>
    <message>
        <source>プレビュー画面を開き、枠内の切り出しやコピーを行います</source>
        <translation>Opens the preview, where the framed part can be saved or copied</translation>
    </message>
    <message>
        <source>左回転(&amp;L)</source>
        <translation>Turn &amp;left</translation>
    </message>
    <message>
        <source>画像を左に90°回転します</source>
        <translation>Turns the picture 90° to the left</translation>
    </message>
    <message>
        <source>右回転(&amp;R)</source>
        <translation>Turn &amp;right</translation>
    </message>
    <message>
        <source>画像を右に90°回転します</source>
        <translation>Turns the picture 90° to the right</translation>
    </message>
    <message>
        <source>180゜回転(&amp;T)</source>
        <translation>&amp;Turn 180°</translation>
    </message>
    <message>
        <source>画像を180゜回転します</source>
        <translation>Turns the picture 180°</translation>
    </message>
    <message>
        <source>上下反転(&amp;V)</source>
        <translation>Flip &amp;vertical</translation>
    </message>
    <message>
        <source>画像を上下反転します</source>
        <translation>Flips the picture upside down</translation>
    </message>
    <message>
        <source>左右反転(&amp;H)</source>
        <translation>Flip &amp;horizontal</translation>
    </message>
    <message>
        <source>画像を左右反転します</source>
        <translation>Flips the picture left to right</translation>
    </message>
    <message>
        <source>自由回転(&amp;Y)</source>
        <translation>R&amp;otate...</translation>
    </message>
    <message>
        <source>指定した角度に画像を回転します</source>
        <translation>Rotates the picture by any angle</translation>
    </message>
    <message>
        <source>切り出し(&amp;K)</source>
        <translation>&amp;Crop</translation>
    </message>
    <message>
        <source>枠内を切り出し、編集を続けます</source>
        <translation>Cuts out the framed part and goes on editing it</translation>
    </message>
    <message>
        <source>色変更(&amp;B)</source>
        <translation>&amp;Background...</translation>
    </message>
    <message>
        <source>背景色を指定します</source>
        <translation>Chooses the background colour</translation>
    </message>
    <message>
        <source>背景色</source>
        <translation>Fill</translation>
    </message>
    <message>
        <source>自由回転や連結で発生する余白の色です</source>
        <translation>The colour of the margins that rotating and joining leave</translation>
    </message>
    <message>
        <source>横に連結</source>
        <translation>Side by side</translation>
    </message>
    <message>
        <source>上寄せ</source>
        <translation>Top</translation>
    </message>
    <message>
        <source>画像を横に連結する際に、小さい画像を上寄せします</source>
        <translation>Joins side by side with the smaller picture at the top</translation>
    </message>
    <message>
        <source>中央</source>
        <translation>Centre</translation>
    </message>
    <message>
        <source>画像を横に連結する際に、小さい画像を中央揃えします</source>
        <translation>Joins side by side with the smaller picture centred</translation>
    </message>
    <message>
        <source>下寄せ</source>
        <translation>Bottom</translation>
    </message>
    <message>
        <source>画像を横に連結する際に、小さい画像を下寄せします</source>
        <translation>Joins side by side with the smaller picture at the bottom</translation>
    </message>
    <message>
        <source>中抜き</source>
        <translation>Trim</translation>
    </message>
    <message>
        <source>画像を横に連結する際に、小さい画像に合わせて大きい画像を切り落とします</source>
        <translation>Joins side by side, trimming the larger picture to the smaller one</translation>
    </message>
    <message>
        <source>縦に連結</source>
        <translation>Stacked</translation>
    </message>
    <message>
        <source>左寄せ</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>画像を縦に連結する際に、小さい画像を左寄せします</source>
        <translation>Joins one above the other with the smaller picture on the left</translation>
    </message>
    <message>
        <source>画像を縦に連結する際に、小さい画像を中央揃えします</source>
        <translation>Joins one above the other with the smaller picture centred</translation>
    </message>
    <message>
        <source>右寄せ</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>画像を縦に連結する際に、小さい画像を右寄せします</source>
        <translation>Joins one above the other with the smaller picture on the right</translation>
    </message>
    <message>
        <source>画像を縦に連結する際に、小さい画像に合わせて大きい画像を切り落とします</source>
        <translation>Joins one above the other, trimming the larger picture to the smaller one</translation>
    </message>
    <message>
        <source>ここに画像をドロップしてください</source>
        <translation>Drop a picture here</translation>
    </message>
    <message>
        <source>(ファイル名)</source>
        <translation>(file name)</translation>
    </message>
    <message>
        <source>切り出し元サイズ</source>
        <translation>Framed area</translation>
    </message>
    <message>
        <source> ×  縦</source>
        <translation> ×  H</translation>
    </message>
    <message>
        <source>縮小率(%)</source>
        <translation>Scale (%)</translation>
    </message>
    <message>
        <source>縮小率を指定します</source>
        <translation>The scale of the framed area in the cut, in percent</translation>
    </message>
    <message>
        <source>＝</source>
        <translation>=</translation>
    </message>
    <message>
        <source>縮小後サイズ</source>
        <translation>Scaled size</translation>
    </message>
    <message>
        <source> × 縦</source>
        <translation> × H</translation>
    </message>
    <message>
        <source>元画像のサイズ</source>
        <translation>Picture size</translation>
    </message>
    <message>
        <source>JPEG保存時の画質(100=最高)</source>
        <translation>JPEG quality (100 = best)</translation>
    </message>
    <message>
        <source>JPEG保存する際の画質を指定します</source>
        <translation>The quality of saved JPEG files</translation>
    </message>
    <message>
        <source>切り出しサイズ</source>
        <translation>Cut size</translation>
    </message>
    <message>
        <source>切り出しサイズの横幅を指定します</source>
        <translation>The width of the cut</translation>
    </message>
    <message>
        <source>切り出しサイズの縦幅を指定します</source>
        <translation>The height of the cut</translation>
    </message>
    <message>
        <source>縦</source>
        <translation>H</translation>
    </message>
    <message>
        <source>切り出しサイズの縦と横を入れ替えます</source>
        <translation>Swaps the width and height of the cut</translation>
    </message>
    <message>
        <source>呼出</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>切り出しサイズの設定を呼び出します</source>
        <translation>Sets a cut size you stored</translation>
    </message>
    <message>
        <source>記憶</source>
        <translation>Store</translation>
    </message>
    <message>
        <source>現在の切り出しサイズの設定を記憶します</source>
        <translation>Stores the current cut size</translation>
    </message>
    <message>
        <source>切り出すサイズを選択します</source>
        <translation>Chooses the size to cut</translation>
    </message>
    <message>
        <source>直接指定</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>保存形式</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>保存形式を指定します</source>
        <translation>The file format of saved pictures</translation>
    </message>
    <message>
        <source>ファイル名末尾</source>
        <translation>Numbering</translation>
    </message>
    <message>
        <source>ファイル名の末尾につける連番の形式を指定します</source>
        <translation>How the serial number is added to saved file names</translation>
    </message>
    <message>
        <source>trimletについての情報を表示します</source>
        <translation>Shows information about trimlet</translation>
    </message>
    <message>
        <source>終 了 (&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>trimletを終了します</source>
        <translation>Quits trimlet</translation>
    </message>
    <message>
        <source>上下反転</source>
        <translation>Flip vertical</translation>
    </message>
    <message>
        <source>左右反転</source>
        <translation>Flip horizontal</translation>
    </message>
    <message>
        <source>右回転</source>
        <translation>Turn right</translation>
    </message>
    <message>
        <source>左回転</source>
        <translation>Turn left</translation>
    </message>
    <message>
        <source>180°回転</source>
        <translation>Turn 180°</translation>
    </message>
    <message>
        <source>自由回転</source>
        <translation>Rotate...</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>リロード</source>
        <translation>Reload</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>枠内保存</source>
        <translation>Save frame</translation>
    </message>
    <message>
        <source>%1バイト</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>保存するファイルの大きさの上限です。0で上限なし</source>
        <translation>The largest file size to save, in kB; 0 for no limit</translation>
    </message>
    <message>
        <source>上限(kB)</source>
        <translation>Limit (kB)</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>画像ごとに、切り出しサイズ全体が画像に収まる最も小さい縮小率にします</source>
        <translation>Gives every picture the lowest rate at which the whole cut size fits inside it</translation>
    </message>
    <message>
        <source>無劣化</source>
        <translation>Lossless</translation>
    </message>
    <message>
        <source>JPEGの画像を、再圧縮せずにブロックのまま切り出します（縮小率100のとき）</source>
        <translation>Cuts a JPEG picture block for block, without encoding it again (at rate 100)</translation>
    </message>
</context>
<context>
    <name>MainFiles</name>
    <message>
        <source>すべてのファイル (*)</source>
        <translation>All files (*)</translation>
    </message>
    <message>
        <source>フォルダ %1 は存在しません。</source>
        <translation>The folder %1 does not exist.</translation>
    </message>
    <message>
        <source>フォルダ %1 を開けませんでした。</source>
        <translation>Could not open the folder %1.</translation>
    </message>
    <message>
        <source>すべての画像ファイル (%1)</source>
        <translation>All picture files (%1)</translation>
    </message>
</context>
<context>
    <name>SlotStrip</name>
    <message>
        <source>一時保存エリア</source>
        <translation>Slots</translation>
    </message>
    <message>
        <source>ドラッグ＆ドロップで編集中の画像を一時保存または展開できます</source>
        <translation>Drag the picture here to keep it, or drag a slot to the picture to use it</translation>
    </message>
    <message>
        <source>全</source>
        <translation>All</translation>
    </message>
    <message>
        <source>画像全体を一時保存します</source>
        <translation>Keeps the whole picture in this slot</translation>
    </message>
    <message>
        <source>枠</source>
        <translation>Cut</translation>
    </message>
    <message>
        <source>画像の枠内を一時保存します</source>
        <translation>Keeps the framed part in this slot</translation>
    </message>
    <message>
        <source>展</source>
        <translation>Use</translation>
    </message>
    <message>
        <source>一時保存した画像を展開します</source>
        <translation>Takes the picture in this slot back for editing</translation>
    </message>
    <message>
        <source>編集中の画像を一時保存</source>
        <translation>Keep the picture here</translation>
    </message>
    <message>
        <source>編集中の画像の枠内を一時保存</source>
        <translation>Keep the framed part here</translation>
    </message>
    <message>
        <source>画像を展開</source>
        <translation>Use this picture</translation>
    </message>
</context>
<context>
    <name>trimlet::CutSetChoice</name>
    <message>
        <source>この画面すべて</source>
        <translation>All screens</translation>
    </message>
    <message>
        <source>いくつものサイズや、並べた画面の一枚絵を、同じ枠からまとめて切り出します</source>
        <translation>Cuts several sizes, or one picture across monitors side by side, from the same frame at once</translation>
    </message>
    <message>
        <source>セットなし</source>
        <translation>No set</translation>
    </message>
    <message>
        <source>スパン %1画面</source>
        <translation>span of %1 screens</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>セットの編集...</source>
        <translation>Edit sets...</translation>
    </message>
    <message>
        <source>スパン %1 の画面の配置を使えません。
%2</source>
        <translation>The screen layout of the span %1 cannot be used.
%2</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>セット：%1</source>
        <translation>Set: %1</translation>
    </message>
    <message>
        <source>切り出しセットを設定ファイルに書き込めませんでした。
%1</source>
        <translation>The cut sets could not be written to the settings file.
%1</translation>
    </message>
</context>
<context>
    <name>trimlet::EditCommands</name>
    <message>
        <source>左90°回転</source>
        <translation>Turned 90° left</translation>
    </message>
    <message>
        <source>右90°回転</source>
        <translation>Turned 90° right</translation>
    </message>
    <message>
        <source>180°回転</source>
        <translation>Turn 180°</translation>
    </message>
    <message>
        <source>上下反転</source>
        <translation>Flip vertical</translation>
    </message>
    <message>
        <source>左右反転</source>
        <translation>Flip horizontal</translation>
    </message>
    <message>
        <source>%1°回転</source>
        <translation>Rotated %1°</translation>
    </message>
</context>
<context>
    <name>trimlet::LiveSizeView</name>
    <message>
        <source>この形式では保存できません</source>
        <translation>The piece cannot be saved in this format</translation>
    </message>
    <message>
        <source>上限超過</source>
        <translation>Over limit</translation>
    </message>
    <message>
        <source>画質1でも%1バイト(%2kB)になり、上限の%3kBを超えます</source>
        <translation>Even at quality 1 the file has %1 bytes (%2 kB), over the limit of %3 kB</translation>
    </message>
    <message>
        <source>%1バイト(%2kB)になり、上限の%3kBを超えます</source>
        <translation>The file has %1 bytes (%2 kB), over the limit of %3 kB</translation>
    </message>
    <message>
        <source>%1バイト</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>保存されるファイルの大きさ: %1バイト(%2kB)</source>
        <translation>Size of the saved file: %1 bytes (%2 kB)</translation>
    </message>
    <message>
        <source>この枠は無劣化で切り出せません</source>
        <translation>This frame cannot be cut losslessly</translation>
    </message>
</context>
<context>
    <name>trimlet::LosslessPieces</name>
    <message>
        <source>無劣化で切り出すには、縮小率を100にしてください。</source>
        <translation>To cut losslessly, set the rate to 100.</translation>
    </message>
    <message>
        <source>画像のファイルが読み込んだ後に変更されたため、無劣化で切り出せません。
リロードしてください。（%1）</source>
        <translation>The picture&apos;s file has changed since it was loaded, so it cannot be cut losslessly.
Reload it. (%1)</translation>
    </message>
    <message>
        <source>この枠は無劣化で切り出せません。
%1</source>
        <translation>This frame cannot be cut losslessly.
%1</translation>
    </message>
</context>
<context>
    <name>trimlet::OutputCommands</name>
    <message>
        <source>クリップボードにコピーできませんでした。</source>
        <translation>Could not copy to the clipboard.</translation>
    </message>
    <message>
        <source>画像全体をクリップボードにコピー</source>
        <translation>Copied the whole picture to the clipboard</translation>
    </message>
    <message>
        <source>無劣化の枠：%1 --lossless</source>
        <translation>Lossless frame: %1 --lossless</translation>
    </message>
    <message>
        <source>スパンのピースは画面ごとに拡大縮小するため、無劣化では保存できません。
無劣化のチェックを外してください。</source>
        <translation>The pieces of a span are scaled for each screen, so they cannot be saved lossless.
Clear the Lossless box.</translation>
    </message>
    <message>
        <source>セットの枠：%1</source>
        <translation>Set frame: %1</translation>
    </message>
</context>
<context>
    <name>trimlet::OutputRun</name>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>ドライブ%1の空き容量が充分でありません。
作業を中断します。</source>
        <translation>There is not enough free space in %1.
The work is stopped.</translation>
    </message>
    <message>
        <source>一時ファイル %1 を書き込めませんでした。
書き込みの権限とディスクの空き容量を確認してください。</source>
        <translation>Could not write the temporary file %1.
Check that you may write there and that the disk has free space.</translation>
    </message>
    <message>
        <source>画質を1にしてもファイルサイズ(%1kB)が上限の%2kBを超えます。
保存しません。</source>
        <translation>Even at quality 1 the file (%1 kB) is larger than the limit of %2 kB.
Nothing was saved.</translation>
    </message>
    <message>
        <source>ファイルサイズ(%1kB)が上限の%2kBを超えます。
保存しません。</source>
        <translation>The file (%1 kB) is larger than the limit of %2 kB.
Nothing was saved.</translation>
    </message>
    <message>
        <source>横%1×縦%2ピクセルの画像はJPEGで保存できません（JPEGは一辺%3ピクセルまで）。保存形式をBMPにしてください。</source>
        <translation>A picture of %1 × %2 pixels cannot be saved as JPEG (JPEG allows at most %3 pixels a side). Choose the BMP format.</translation>
    </message>
    <message>
        <source>横%1×縦%2ピクセルの画像はWebPで保存できません（WebPは一辺%3ピクセルまで）。保存形式をPNGにしてください。</source>
        <translation>A picture of %1 × %2 pixels cannot be saved as WebP (WebP allows at most %3 pixels a side). Choose the PNG format.</translation>
    </message>
    <message>
        <source>JPEG画像を作成できませんでした。</source>
        <translation>Could not make the JPEG picture.</translation>
    </message>
    <message>
        <source>%1画像を作成できませんでした。</source>
        <translation>Could not make the %1 picture.</translation>
    </message>
    <message>
        <source>メモリが足りないため、JPEG画像を作成できませんでした。</source>
        <translation>Could not make the JPEG picture: there is not enough memory.</translation>
    </message>
    <message>
        <source>メモリが足りないため、%1画像を作成できませんでした。</source>
        <translation>Could not make the %1 picture: there is not enough memory.</translation>
    </message>
    <message>
        <source> 横%1ピクセル×縦%2ピクセル</source>
        <translation> %1 × %2 pixels</translation>
    </message>
    <message>
        <source> 横%1ピクセル×縦%2ピクセル&#x3000;ファイルサイズ:%3kB</source>
        <translation> %1 × %2 pixels   File size: %3 kB</translation>
    </message>
    <message>
        <source> 横%1ピクセル×縦%2ピクセル&#x3000;画質:%3&#x3000;ファイルサイズ:%4kB</source>
        <translation> %1 × %2 pixels   Quality: %3   File size: %4 kB</translation>
    </message>
    <message>
        <source>画像がありません。</source>
        <translation>There is no picture.</translation>
    </message>
    <message>
        <source>保存を取り消しました。</source>
        <translation>Saving was cancelled.</translation>
    </message>
    <message>
        <source>ファイル %1 は trimletが使用中です。
別のファイル名を指定してください。</source>
        <translation>trimlet is using the file %1.
Choose another file name.</translation>
    </message>
    <message>
        <source>ファイル %1 の保存に失敗しました。
ディスクの空き容量が充分かどうかを確認してください。</source>
        <translation>Could not save the file %1.
Check that the disk has enough free space.</translation>
    </message>
    <message>
        <source>%1 を保存しました。</source>
        <translation>Saved %1.</translation>
    </message>
    <message>
        <source>クリップボードにコピーできませんでした。</source>
        <translation>Could not copy to the clipboard.</translation>
    </message>
    <message>
        <source>画像の枠内をクリップボードにコピー</source>
        <translation>Copied the framed part to the clipboard</translation>
    </message>
    <message>
        <source>ファイル %1 を保存できませんでした。
フォルダに書き込む権限がありません。</source>
        <translation>Could not save the file %1.
You have no permission to write in the folder.</translation>
    </message>
    <message>
        <source>ファイル %1 を保存できませんでした。
ファイル名が長すぎます。</source>
        <translation>Could not save the file %1.
The file name is too long.</translation>
    </message>
    <message>
        <source>ファイル %1 を保存できませんでした。
保存先のフォルダがありません。</source>
        <translation>Could not save the file %1.
The save folder does not exist.</translation>
    </message>
    <message>
        <source> 横%1ピクセル×縦%2ピクセル&#x3000;無劣化&#x3000;ファイルサイズ:%3kB</source>
        <translation> %1 × %2 pixels   Lossless   File size: %3 kB</translation>
    </message>
    <message>
        <source>横%1×縦%2</source>
        <translation>%1 × %2</translation>
    </message>
    <message>
        <source>%1のピースを切り出せませんでした。
保存しません。</source>
        <translation>The %1 piece could not be cut.
Nothing is saved.</translation>
    </message>
    <message>
        <source>%1のピースを作成できませんでした。
保存しません。</source>
        <translation>The %1 piece could not be made.
Nothing is saved.</translation>
    </message>
    <message>
        <source>%1のピースのファイルサイズ(%2kB)が上限の%3kBを超えます。
保存しません。</source>
        <translation>The %1 piece&apos;s file size (%2 kB) exceeds the limit of %3 kB.
Nothing is saved.</translation>
    </message>
    <message>
        <source>%1
セットのファイルはどれも保存していません。</source>
        <translation>%1
None of the set&apos;s files has been saved.</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
</context>
<context>
    <name>trimlet::PresetCommands</name>
    <message>
        <source>この画面 (%1×%2)</source>
        <translation>This screen (%1×%2)</translation>
    </message>
    <message>
        <source>%1を上書きします</source>
        <translation>Replace %1</translation>
    </message>
    <message>
        <source>新しい名前を入力してください</source>
        <translation>Name for the current cut size:</translation>
    </message>
</context>
<context>
    <name>trimlet::RecentMenu</name>
    <message>
        <source>最近開いたファイル</source>
        <translation>Recent files</translation>
    </message>
    <message>
        <source>見つからないファイルを一覧から消す</source>
        <translation>Remove missing files from the list</translation>
    </message>
    <message>
        <source>一覧を消去</source>
        <translation>Clear the list</translation>
    </message>
</context>
<context>
    <name>trimlet::SaveFolderChoice</name>
    <message>
        <source>保存先のフォルダを選択</source>
        <translation>Choose the save folder</translation>
    </message>
    <message>
        <source>画像と同じフォルダ</source>
        <translation>Beside the picture</translation>
    </message>
    <message>
        <source>フォルダを選択…</source>
        <translation>Choose folder…</translation>
    </message>
    <message>
        <source>保存先：%1</source>
        <translation>Save in: %1</translation>
    </message>
</context>
<context>
    <name>trimlet::SlotCommands</name>
    <message>
        <source>編集画像全体を一時保存領域%1へ保存</source>
        <translation>Kept the whole picture in slot %1</translation>
    </message>
    <message>
        <source>編集画像の枠内を一時保存領域%1へ保存</source>
        <translation>Kept the framed part in slot %1</translation>
    </message>
    <message>
        <source>一時保存された画像はありません</source>
        <translation>There is no picture in this slot</translation>
    </message>
    <message>
        <source>一時保存領域%1の画像を展開</source>
        <translation>Took the picture from slot %1</translation>
    </message>
    <message>
        <source>一時保存領域の複写：%1→%2</source>
        <translation>Copied slot %1 to slot %2</translation>
    </message>
</context>
<context>
    <name>trimlet::TfrmAboutBox</name>
    <message>
        <source>バージョン情報</source>
        <translation>About trimlet</translation>
    </message>
    <message>
        <source>画像から決まった大きさを切り抜く trimlet です</source>
        <translation>trimlet cuts pieces of a fixed size out of pictures</translation>
    </message>
    <message>
        <source>クリックだ!</source>
        <translation>Click to visit!</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>trimletを終了します</source>
        <translation>Closes this window</translation>
    </message>
    <message>
        <source>PNG 形式の読み書きに libpng と zlib を使っています。</source>
        <translation>PNG files are read and written with libpng and zlib.</translation>
    </message>
    <message>
        <source>GIF 形式の読み書きに giflib を使っています。</source>
        <translation>GIF files are read and written with giflib.</translation>
    </message>
    <message>
        <source>ページ %1 を開けませんでした。</source>
        <translation>Could not open the page %1.</translation>
    </message>
    <message>
        <source>使用ライブラリ:</source>
        <translation>Libraries used:</translation>
    </message>
</context>
<context>
    <name>trimlet::TfrmCutSets</name>
    <message>
        <source>切り出しセット</source>
        <translation>Cut sets</translation>
    </message>
    <message>
        <source>保存されている切り出しセットです</source>
        <translation>The stored cut sets</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>新しいセットを追加します</source>
        <translation>Adds a new set</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>選んだセットを削除します</source>
        <translation>Deletes the chosen set</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>セットの名前です</source>
        <translation>The set&apos;s name</translation>
    </message>
    <message>
        <source>サイズ</source>
        <translation>Sizes</translation>
    </message>
    <message>
        <source>同じ中心からサイズごとに切り出します</source>
        <translation>Cuts each size around the same centre</translation>
    </message>
    <message>
        <source>スパン</source>
        <translation>Span</translation>
    </message>
    <message>
        <source>複数の画面にまたがる1枚の画像を切り出します</source>
        <translation>Cuts one picture across several screens</translation>
    </message>
    <message>
        <source>カンマで区切って並べます</source>
        <translation>Separated by commas</translation>
    </message>
    <message>
        <source>ベゼル(mm)</source>
        <translation>Bezel (mm)</translation>
    </message>
    <message>
        <source>隣り合う画面の映る部分の間隔です</source>
        <translation>The gap between neighbouring screens&apos; pictures</translation>
    </message>
    <message>
        <source>この画面の配置</source>
        <translation>This layout</translation>
    </message>
    <message>
        <source>いまの画面の並びと大きさを入れます</source>
        <translation>Fills in the screens as they are laid out now</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>新しいセット</source>
        <translation>New set</translation>
    </message>
    <message>
        <source>画面（横x縦+X+Y/幅mm,…）</source>
        <translation>Screens (WxH+X+Y/width mm,…)</translation>
    </message>
    <message>
        <source>サイズ（横x縦,…）</source>
        <translation>Sizes (WxH,…)</translation>
    </message>
    <message>
        <source>名前を入れてください</source>
        <translation>Enter a name</translation>
    </message>
    <message>
        <source>この画面すべて</source>
        <translation>All screens</translation>
    </message>
    <message>
        <source>「%1」は組み込みのセットの名前です</source>
        <translation>“%1” is the name of the built-in set</translation>
    </message>
    <message>
        <source>名前に = や改行は使えず、[ ; # で始めることも前後に空白を置くこともできません</source>
        <translation>A name cannot hold = or a line break, start with [ ; or #, or begin or end with a blank</translation>
    </message>
    <message>
        <source>同じ名前のセットがあります</source>
        <translation>Another set has the same name</translation>
    </message>
    <message>
        <source>「%1」: %2</source>
        <translation>“%1”: %2</translation>
    </message>
</context>
<context>
    <name>trimlet::TfrmMain</name>
    <message>
        <source>≪ヒント≫
『連結モード』を表示した状態で、画像ファイルまたは一時保存をドラッグ＆ドロップで読み込ませると、編集中の画像とドロップした画像を連結できます。</source>
        <translation>Tip:
While the Join page shows, drop a picture file or a slot on the window to join it to the picture being edited.</translation>
    </message>
    <message>
        <source>設定の保存ができませんでした。</source>
        <translation>Could not save the settings.</translation>
    </message>
    <message>
        <source>テンポラリファイル %1 の削除ができませんでした。</source>
        <translation>Could not delete the temporary file %1.</translation>
    </message>
    <message>
        <source>10Mピクセルを超える画像は処理に失敗する場合があります。</source>
        <translation>Pictures of more than 10 megapixels may fail to process.</translation>
    </message>
    <message>
        <source>クリップボードからの貼り付け</source>
        <translation>Pasted from the clipboard</translation>
    </message>
    <message>
        <source>%1は読み込めませんでした。</source>
        <translation>Could not open %1.</translation>
    </message>
    <message>
        <source>ファイルドロップ：%1</source>
        <translation>Opened: %1</translation>
    </message>
    <message>
        <source>

この警告を今後も表示しますか？</source>
        <translation>

Show this warning again?</translation>
    </message>
    <message>
        <source>クリップボードに画像がありません。</source>
        <translation>There is no picture on the clipboard.</translation>
    </message>
    <message>
        <source>クリップボードの画像を読み込めませんでした。</source>
        <translation>Could not read the picture on the clipboard.</translation>
    </message>
    <message>
        <source>画像の切り出し</source>
        <translation>Cropped the picture</translation>
    </message>
    <message>
        <source>一時保存領域%1の画像を連結</source>
        <translation>Joined the picture from slot %1</translation>
    </message>
    <message>
        <source>フォルダの最後の画像です。</source>
        <translation>This is the last picture of the folder.</translation>
    </message>
    <message>
        <source>フォルダの最初の画像です。</source>
        <translation>This is the first picture of the folder.</translation>
    </message>
    <message>
        <source>%1 / %2&#x3000;%3</source>
        <translation>%1 / %2  %3</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>%1を読み込んでいます…</source>
        <translation>Loading %1…</translation>
    </message>
    <message>
        <source>実サイズ %1 × %2</source>
        <translation>actual size %1 × %2</translation>
    </message>
    <message>
        <source>%1、実サイズ %2 × %3</source>
        <translation>%1, actual size %2 × %3</translation>
    </message>
</context>
<context>
    <name>trimlet::TfrmPreview</name>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>圧縮前の状態を表示</source>
        <translation>Show before compression</translation>
    </message>
    <message>
        <source>圧縮後の画像と圧縮前の画像の表示を切り替えます</source>
        <translation>Switches between the compressed picture and the picture before compression</translation>
    </message>
    <message>
        <source>保&#x3000;存 (&amp;S)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>ファイル名は自動的に決まります</source>
        <translation>Saves under an automatic serial name</translation>
    </message>
    <message>
        <source>別名保存(&amp;A)</source>
        <translation>Save &amp;as...</translation>
    </message>
    <message>
        <source>ファイル名を指定して保存します</source>
        <translation>Saves under a name you choose</translation>
    </message>
    <message>
        <source>画像コピー(&amp;C)</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>画像をクリップボードにコピーします</source>
        <translation>Copies the picture to the clipboard</translation>
    </message>
    <message>
        <source>閉じる(&amp;Q)</source>
        <translation>Cl&amp;ose</translation>
    </message>
    <message>
        <source>プレビュー画面を閉じます</source>
        <translation>Closes the preview</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>名前をつけて保存</source>
        <translation>Save as...</translation>
    </message>
    <message>
        <source>画像をコピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>エラーによる中断</source>
        <translation>Stopped by an error</translation>
    </message>
    <message>
        <source>プレビュー画像を作成中...</source>
        <translation>Making the preview...</translation>
    </message>
</context>
<context>
    <name>trimlet::TfrmRotFree</name>
    <message>
        <source>自由回転</source>
        <translation>Rotate</translation>
    </message>
    <message>
        <source>角度</source>
        <translation>Angle</translation>
    </message>
    <message>
        <source>角度を指定します（マイナス 左⇔右 プラス）</source>
        <translation>The angle in degrees (minus: left, plus: right)</translation>
    </message>
    <message>
        <source>リアルタイム</source>
        <translation>Live</translation>
    </message>
    <message>
        <source>角度を変更すると即座にプレビューを表示します</source>
        <translation>Shows the preview as soon as the angle changes</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>preview</translation>
    </message>
    <message>
        <source>補助線</source>
        <translation>Guides</translation>
    </message>
    <message>
        <source>水平・垂直の参考となる線を表示します</source>
        <translation>Shows lines to judge level and plumb by</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>None</translation>
    </message>
    <message>
        <source>横</source>
        <translation>Horiz.</translation>
    </message>
    <message>
        <source>縦</source>
        <translation>Vert.</translation>
    </message>
    <message>
        <source>クロス</source>
        <translation>Cross</translation>
    </message>
    <message>
        <source>回転プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>指定した角度で回転した際のプレビューを表示します</source>
        <translation>Shows the picture rotated by the angle</translation>
    </message>
    <message>
        <source> 実 行 (&amp;R)</source>
        <translation>&amp;Rotate</translation>
    </message>
    <message>
        <source>指定した角度での回転を実行します</source>
        <translation>Rotates the picture by the angle</translation>
    </message>
    <message>
        <source> 閉じる(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>自由回転メニューを終了します</source>
        <translation>Closes this window</translation>
    </message>
    <message>
        <source> 中 止 !!</source>
        <translation>Stop!</translation>
    </message>
    <message>
        <source>演算を中止します</source>
        <translation>Stops the rotation</translation>
    </message>
    <message>
        <source>回転中</source>
        <translation>Rotating...</translation>
    </message>
    <message>
        <source>%1°回転</source>
        <translation>Rotated %1°</translation>
    </message>
    <message>
        <source>回転を中止しました</source>
        <translation>Rotation stopped</translation>
    </message>
</context>
<context>
    <name>trimlet::UndoCommands</name>
    <message>
        <source>元に戻す</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>元に戻す編集はありません</source>
        <translation>Nothing to undo</translation>
    </message>
    <message>
        <source>元に戻す: %1</source>
        <translation>Undone: %1</translation>
    </message>
    <message>
        <source>やり直す編集はありません</source>
        <translation>Nothing to redo</translation>
    </message>
    <message>
        <source>やり直し: %1</source>
        <translation>Redone: %1</translation>
    </message>
</context>
<context>
    <name>trimlet::WorkAreaZoom</name>
    <message>
        <source>拡大</source>
        <translation>Zoom In</translation>
    </message>
    <message>
        <source>縮小</source>
        <translation>Zoom Out</translation>
    </message>
    <message>
        <source>全体表示</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>等倍表示</source>
        <translation>Actual Pixels</translation>
    </message>
    <message>
        <source>表示倍率：%1 %</source>
        <translation>Zoom: %1 %</translation>
    </message>
    <message>
        <source>表示倍率：全体表示</source>
        <translation>Zoom: fit</translation>
    </message>
</context>
</TS>
