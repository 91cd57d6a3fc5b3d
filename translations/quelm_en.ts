<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja">
<context>
    <name>Quib_P</name>
    <message>
        <source>ﾌｧｲﾙを開く</source>
        <translation>Open File</translation>
    </message>
    <message>
        <source>画像ﾌｧｲﾙ (bmp jpg gif)</source>
        <translation>Picture files (bmp jpg gif)</translation>
    </message>
    <message>
        <source>BGMﾌｧｲﾙ (MP3 WAV)</source>
        <translation>Music files (MP3 WAV)</translation>
    </message>
    <message>
        <source>表示画像</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>デスクトップキャプチャ</source>
        <translation>Desktop capture</translation>
    </message>
    <message>
        <source>任意画像の指定</source>
        <translation>Your own pictures</translation>
    </message>
    <message>
        <source>BGM</source>
        <translation>Music</translation>
    </message>
    <message>
        <source>音楽CD</source>
        <translation>CD</translation>
    </message>
    <message>
        <source>曲目をリピート</source>
        <translation>Loop track</translation>
    </message>
    <message>
        <source>無し</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>MP3、WAV</source>
        <translation>Music file</translation>
    </message>
    <message>
        <source>作品集</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
