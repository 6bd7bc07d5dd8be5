// The messages in Japanese. Japanese has one plural form.
#include "catalogue/tables.h"

namespace {

constexpr MessageEntry MESSAGES[] = {
    {Message::Help,
     "使い方: sorabun-cli --to フォルダー [オプション] パス...\n"
     "        sorabun-cli [オプション] パス...\n"
     "        sorabun-cli --info [--json] [-r] パス...\n"
     "MP3 ファイルの ID3v2 タグのタイトル・アーティスト・アルバム (TIT2, TPE1, TALB)\n"
     "を、コードページ 932 (シフト JIS) の文字列に書き換えます。パスにはファイル、\n"
     "またはフォルダーを指定します。フォルダーの場合は、その中の *.mp3 ファイル\n"
     "(大文字・小文字を問いません) を変換します。ファイルのほかのバイトはそのままです。\n"
     "\n"
     "--to を付けると元のファイルは読むだけで、変換したコピーを指定のフォルダー\n"
     "(USB メモリーなど) に、FAT・exFAT で使える名前で書き込みます。フォルダーは\n"
     "同じ名前のフォルダーになります。変換できないファイルはそのままコピーします。\n"
     "既にあるコピーは飛ばします。このプログラムが作り、その後変更されていない\n"
     "コピーは、元のファイルが変わると置き換えます (記録は .sorabun-copies)。\n"
     "それと中断したコピーの一時ファイルのほかは、コピー先のファイルを削除・\n"
     "上書きしません。\n"
     "\n"
     "オプション:\n"
     "      --to フォルダー  元のファイルを変えず、変換したコピーをフォルダーに書き込みます\n"
     "      --all-files  --to で、フォルダー内のほかのファイル (ジャケット画像、\n"
     "                   プレイリスト) もそのままコピーします\n"
     "      --all-frames タイトル・アーティスト・アルバムだけでなく、タグのすべての\n"
     "                   文字列 (コメント、歌詞、画像の説明、ユーザー定義の文字列など)\n"
     "                   を変換します。読めないフレームはそのままにします\n"
     "  -y, --yes        確認せずに変換します\n"
     "  -n, --dry-run    何も書き込まず、タイトル・アーティスト・アルバムの変換前と\n"
     "                   変換後を表示します。'?' や似た文字に置き換わる文字を [ ] で\n"
     "                   囲みます\n"
     "      --fold       コードページ 932 で '?' になる文字のうち、JIS に似た文字がある\n"
     "                   もの (波ダッシュ、マイナス記号など) をその文字で書き込みます\n"
     "  -b, --backup     元のファイルを NAME.mp3.bak として残します。バックアップが\n"
     "                   既にあるファイルは変換しません (--to とは使えません)\n"
     "  -t, --keep-time  元のファイルの更新日時を保ちます (コピーは常に保ちます)\n"
     "  -r, --recursive  サブフォルダーも含めて変換します\n"
     "  -q, --quiet      確認が必要なファイルだけを表示します\n"
     "      --id3v1      ファイル (コピー) の末尾に ID3v1 タグもコードページ 932 で\n"
     "                   書き込みます。ID3v2 タグのタイトル・アーティスト・アルバム・\n"
     "                   年・コメント・トラック・ジャンルから作り、既にあれば置き換えます\n"
     "      --id3v2.3    タグを多くのカーナビが読める版 2.3 で書き込みます。フレームは\n"
     "                   すべて残し (2.4 だけのものは元の名前のまま)、日付と人名の\n"
     "                   リストには 2.3 のフレームも加えます\n"
     "      --car        カーナビ向け: --all-frames --fold --id3v2.3 --id3v1 と同じです\n"
     "      --info       何も書き込まず、タグの版・フラグ・大きさとフレームを表示します。\n"
     "                   シフト JIS だけのプレーヤーが読み違えるものに ! を付けます\n"
     "      --json       --info で、ファイルごとに JSON オブジェクトを 1 行ずつ出力します\n"
     "  -h, --help       このヘルプを表示します\n"
     "      --version    バージョンを表示します\n"
     "\n"
     "--yes (と --to) がなければ、実行全体について一度だけ確認します。標準入力が\n"
     "端末でないときは、何も書き込みません。\n"
     "\n"
     "終了ステータス:\n"
     "  0  失敗したファイルも、壊れたタグや変換できない形式で飛ばしたファイルもない\n"
     "  1  失敗したファイル、または壊れたタグや変換できない形式で飛ばしたファイルが\n"
     "     ある。または確認に「いいえ」と答えた\n"
     "  2  使い方の誤り。または変換するファイルがあるのに標準入力が端末でなく、\n"
     "     --yes もない (何も書き込みません)"},
    {Message::TryHelp, "'sorabun-cli --help' で使い方を表示します。"},
    {Message::UnknownOption, "不明なオプション '{option}'"},
    {Message::NoPathGiven, "ファイルまたはフォルダーを指定してください。"},
    {Message::ToNeedsFolder, "--to にはコピー先のフォルダーが必要です"},
    {Message::BackupWithCopy, "--backup は --to と使えません。元のファイルは変わりません"},
    {Message::AllFilesAlone, "--all-files は --to と一緒に使います"},
    {Message::JsonAlone, "--json は --info と一緒に使います"},
    {Message::InfoWrites,
     "--info は何も書き込みません。--to、--backup、--id3v1、--id3v2.3、--car とは"
     "使えません"},

    {Message::ReportLine, "{label}: {path}"},
    {Message::ReportLineWithDetail, "{label}: {path} ({detail})"},
    {Message::LabelConverted, "変換しました"},
    {Message::LabelWouldConvert, "変換予定"},
    {Message::LabelAlreadyConverted, "変換済み (コードページ 932)"},
    {Message::LabelNoTag, "ID3v2 タグなし"},
    {Message::LabelRefused, "対象外のバージョン"},
    {Message::LabelUnsupported, "変換できない形式"},
    {Message::LabelDamaged, "タグが壊れています"},
    {Message::LabelFailed, "失敗"},
    {Message::LabelLeftover, "一時ファイル"},
    {Message::LabelCopied, "コピーしました"},
    {Message::LabelWouldCopy, "コピー予定"},
    {Message::LabelUpToDate, "コピー済み"},
    {Message::LabelNotReplaced, "置き換えていません"},
    {Message::LabelRenamed, "名前を変更"},
    {Message::LabelRemoved, "削除しました"},
    {Message::LabelWouldRemove, "削除予定"},
    {Message::LabelCompleted, "完成させました"},
    {Message::LabelWouldComplete, "完成予定"},

    {Message::ReasonFileTooShort, "タグのヘッダーより短いファイル"},
    {Message::ReasonTagPastEndOfFile, "タグがファイルの終わりを越えています"},
    {Message::ReasonBadExtendedHeaderSize, "拡張ヘッダーの大きさが合いません"},
    {Message::ReasonFramePastEndOfTag, "フレームがタグの終わりを越えています"},
    {Message::ReasonUnsynchronised, "非同期化されたタグ"},
    {Message::ReasonCompressed, "圧縮されたタグ"},
    {Message::ReasonExtendedHeaderCrc, "タグに CRC があります"},
    {Message::ReasonFrameFormatFlags,
     "タイトル・アーティスト・アルバムのフレームが圧縮・暗号化されています"},
    {Message::ReasonUnknownTextEncoding, "不明な文字コード"},
    {Message::ReasonTextDoesNotFit, "変換後の文字列が元より長くなります"},

    {Message::CauseNotFound, "見つかりません"},
    {Message::CauseNoPermission, "アクセスが拒否されました"},
    {Message::CauseInUse, "ほかのプログラムが使用中です"},
    {Message::CauseNotRegularFile, "通常のファイルではありません"},
    {Message::CauseHardLinked,
     "ほかの名前 (ハードリンク) があり、変換すると別々のファイルになります"},
    {Message::CauseNoSpace, "ディスクの空きが足りません"},
    {Message::CauseReadOnlyFileSystem, "読み取り専用のファイルシステムです"},
    {Message::CauseReadOnlyFile, "読み取り専用のファイルです"},
    {Message::CauseNameTooLong, "名前が長すぎます"},
    {Message::CauseOwnerNotKept,
     "所有者またはグループを保てません (所有者か root で実行してください)"},
    {Message::CauseAttributesNotKept, "ACL または拡張属性を保てません"},
    {Message::CauseAlreadyExists, "同じ名前のファイルがあります"},
    {Message::CauseOutOfMemory, "メモリーが足りません"},
    {Message::CauseTooManyOpenFiles, "開いているファイルが多すぎます"},
    {Message::CauseTooManyLinks, "リンクの階層が深すぎます"},
    {Message::CauseSizeChanged, "読み込み中にファイルの大きさが変わりました"},
    {Message::CauseNotAFolder, "フォルダーではありません"},
    {Message::CauseUntrustedLink, "全員が書き込めるフォルダー (スティッキー) "
                                  "にほかのユーザーが作ったリンクのため、たどりません"},
    {Message::CauseAppendOnlyFolder, "フォルダーが追加専用のため、ファイルを置き換えられません"},
    {Message::CauseUnknownLeftover, "MP3 ではないため、このプログラムが残したものとは限りません"},
    {Message::CauseHoldsDestination,
     "--to のフォルダーか、それを含むフォルダーか、その中のフォルダーです（バインドマウントなど"
     "別の道筋でたどり着きました）。コピーしません"},

    {Message::StageWithCause, "{stage}。{cause}"},
    {Message::KeptAsItWas, "{detail}。ファイルは元のままです"},
    {Message::TemporaryLeftBehind, "{detail}。一時ファイル {name} を削除できませんでした"},
    {Message::StageOpen, "開けません"},
    {Message::StageSize, "大きさを調べられません"},
    {Message::StageRead, "読み込めません"},
    {Message::StageWrite, "書き込めません"},
    {Message::StageBackUp, "バックアップを作れません"},
    {Message::StageCopy, "コピーを書き込めません"},
    {Message::StageReadFolder, "フォルダーを読み込めません"},
    {Message::StageExamine, "調べられません"},
    {Message::StageRemoveLeftover, "削除していません"},
    {Message::FailureTooLarge, "4 GB 以上あります"},
    {Message::FailureChanged, "処理中にほかのプログラムが変更しました。書き込んでいません"},
    {Message::FailureLeftInTemporary,
     "置き換えられません。変換した内容は同じフォルダーの .sorabun-... という名前のファイルに"
     "残っています"},
    {Message::FailureBackupExists,
     "バックアップ NAME.mp3.bak が既にあります。ファイルは元のままです"},

    {Message::FramesLeft, "そのままのフレーム: {frames}"},
    {Message::DetailAndMore, "{detail}。{more}"},
    {Message::VersionChanged, "{from} → 2.3"},
    {Message::AddedFrames, "追加: {frames}"},
    {Message::AddedFrame, "{from} から {frame}"},
    {Message::JoinedFrames, "値を「/」でつないだフレーム: {frames}"},
    {Message::LeftOutFrames, "書き込めず省いたフレーム: {frames}"},
    {Message::NotAsVersion3, "バージョン 2.3 にできません: {reason}"},
    {Message::Version3Compressed, "大きさの分からない圧縮されたフレーム"},
    {Message::Version3FrameFlags, "意味の分からないフレームのフラグ"},
    {Message::Version3EmptyFrame, "データ長のほかに何も持たないフレーム"},
    {Message::Version3TooLarge, "タグが大きくなりすぎます"},
    {Message::Version3NoMemory, "メモリーが足りません"},
    {Message::ConvertedCopy, "変換、{change}"},
    {Message::AsItIsAlreadyConverted, "変換済み"},
    {Message::AsItIsNoTag, "そのまま: ID3v2 タグなし"},
    {Message::AsItIsRefused, "そのまま: 対象外のバージョン {version}"},
    {Message::AsItIsUnsupported, "そのまま: 変換できない形式"},
    {Message::AsItIsDamaged, "そのまま: タグが壊れています"},
    {Message::AsItIsBecause, "{detail}。{reason}"},
    {Message::TakenAtDestination,
     "コピー先に同じ名前の別のファイルがあります。コピーするにはそのファイルを削除してください"},
    {Message::LeftoverOfRun,
     "中断された実行か、このフォルダーで実行中の処理のものです。触れていません"},
    {Message::LeftoverOfCopy, "中断したコピーの一時ファイル"},
    {Message::LeftoverCompleted, "中断したコピーの一時ファイル {temporary} から"},
    {Message::ReplacesOwnCopy,
     "{detail}。このプログラムが以前作り、その後変更されていないコピーを置き換えました"},
    {Message::NameForbiddenCharacter, "FAT で使えない文字"},
    {Message::NameControlCharacter, "制御文字"},
    {Message::NameNotACharacter, "文字でないバイト"},
    {Message::NameTrailingDotOrSpace, "末尾のピリオドや空白"},
    {Message::NameReserved, "Windows の予約名"},
    {Message::NameShortened, "255 文字に短縮"},
    {Message::NameNumbered, "同じ名前のコピーがあります"},
    {Message::ListSeparator, "、"},
    {Message::ReasonSeparator, "、"},

    {Message::OutputFailed, "標準出力に書き込めませんでした。"},
    {Message::NoMp3Files, "MP3 ファイルが見つかりませんでした。"},
    {Message::OriginalsKept, "元のファイルは .bak として残します。"},
    {Message::CannotBeUndone, "この操作は元に戻すことができません。"},
    {Message::Cancelled, "中止しました。何も書き込んでいません。"},
    {Message::Progress, "処理中 {done}/{total}"},
    {Message::BeforeLabel, "変換前:"},
    {Message::AfterLabel, "変換後:"},
    {Message::DroppedLabel, "読まれない:"},
    {Message::MarkLegend,
     "[ ] の文字はコードページ 932 にないため、'?' または似た文字に置き換わります。"},

    {Message::DestinationUnusable, "コピー先を使えません"},
    {Message::NoSpaceForCopies, "{folder} の空きが足りません。必要 {needed}、空き {available} で、"
                                "{missing} 不足しています。何も書き込んでいません。"},
    {Message::SpaceToWrite, "{folder}: 書き込み {needed}、空き {available}"},
    {Message::SpaceToWriteUnknown, "{folder}: 書き込み {needed}、空きは不明"},
    {Message::Removable, "すべてディスクに書き込みました。USB メモリーやカードを取り外せます。"},
    {Message::FlushFailed,
     "ディスクへの書き込みを終えられません。まだ USB メモリーやカードを取り外さないでください。"},
    {Message::FlushFailedBecause, "ディスクへの書き込みを終えられません ({cause})。まだ USB "
                                  "メモリーやカードを取り外さないでください。"},
    {Message::DestinationInSource, "--to のフォルダーが、-r でコピーする {source} "
                                   "の中にあります。実行するたびに、コピーがまたコピーされます。"},
    {Message::CopyProgress, "コピー中 {done}/{total} ファイル、{bytes}、{speed}、残り {timeLeft}"},
    {Message::RecordNotWritten,
     "{folder} に作ったコピーの記録を書き込めませんでした（{cause}）。元のファイルが変わっても、"
     "次からの実行ではこれらのコピーを置き換えません。"},
    {Message::NoFilesForCopies,
     "{folder} に作れるファイルとフォルダーが足りません。必要 {needed}、作れる数 {available}。"
     "何も書き込んでいません。"},
    {Message::RootFolderFills,
     "{folder} は FAT12 か FAT16 のディスクのルートフォルダーで、{entries} 項目までしか入りません。"
     "コピーには {needed} 項目が必要なため、上限を超えた分は失敗します。スティックの中のフォルダー"
     "（--to {folder}/Music など）には上限がありません。"},

    {Message::TagSizes, "大きさ {size}  パディング {padding}  フラグ: {flags}"},
    {Message::FlagUnsynchronisation, "非同期化"},
    {Message::FlagExtendedHeader, "拡張ヘッダー"},
    {Message::FlagCompression, "圧縮"},
    {Message::FlagExperimental, "実験的"},
    {Message::FlagFooter, "フッター"},
    {Message::FlagsNone, "なし"},
    {Message::FieldTitle, "タイトル"},
    {Message::FieldArtist, "アーティスト"},
    {Message::FieldAlbum, "アルバム"},
    {Message::FieldYear, "年"},
    {Message::FieldComment, "コメント"},
    {Message::QuotedField, "{field} \"{value}\""},
    {Message::Id3v1Track, "トラック {track}"},
    {Message::Id3v1Genre, "ジャンル {genre}"},
    {Message::DiffersFromId3v2, "。ID3v2 タグと違う項目: {fields}"},
    {Message::Version4Hint, "。--id3v2.3 でバージョン 2.3 にできます"},
    {Message::DroppedValuesHint, "(プレーヤーは最初の値だけを表示します)"},
    {Message::InfoLegend,
     "! はコードページ 932 しか読めないプレーヤーが読み違えるものです: UTF-16 や UTF-8 の文字列、"
     "非同期化、バージョン 2.4 のヘッダー (2.3 しか読めない機器。--id3v2.3 で 2.3 にできます)、"
     "バージョン 2.3 のテキスト フレームの 2 つ目以降の値、ID3v2 タグと違う ID3v1 タグ。"},
    {Message::NothingMisread, "読み違えるものはありません"},
    {Message::ExplorerUsage,
     "sorabun-cli は、コマンド プロンプトで使うプログラムです。\n"
     "USB メモリーやカードにカーナビ向けのコピーを作るには、同じフォルダーの\n"
     "SorabunCopy.exe をダブルクリックしてください。\n"
     "\n"
     "コマンド プロンプトでの使い方 (詳しくは sorabun-cli --help):\n"
     "  sorabun-cli --to E:\\ --car -r フォルダー...\n"
     "  sorabun-cli -r フォルダー...\n"
     "MP3 ファイルやフォルダーをこのプログラムのアイコンにドロップすると、\n"
     "その場で変換します (確認があります)。"},
    {Message::PressEnterToClose, "Enter キーを押すと閉じます。"},
    {Message::WindowTitle, "Sorabun - カーナビ用コピー"},
    {Message::WindowSources, "コピー元 (フォルダーやファイルをドロップできます):"},
    {Message::WindowAdd, "追加(&A)..."},
    {Message::WindowRemove, "削除(&D)"},
    {Message::WindowDestination, "コピー先:"},
    {Message::WindowBrowse, "参照(&B)..."},
    {Message::WindowCarConversion, "カーナビ向けに変換(&N)"},
    {Message::WindowAllFiles, "ほかのファイルもコピー (ジャケット画像など)(&O)"},
    {Message::WindowCheck, "確認(&K)"},
    {Message::WindowStart, "コピー開始(&S)"},
    {Message::WindowStop, "中止(&T)"},
    {Message::WindowResults, "結果:"},
    {Message::WindowPickSources, "コピーするフォルダーを選択"},
    {Message::WindowPickDestination, "コピー先のフォルダーを選択"},
    {Message::WindowPickerFailed, "フォルダーを選択できませんでした (エラー コード 0x{code})。"},
    {Message::WindowDrive, "{drive} {name} (空き {free})"},
    {Message::WindowDriveUnnamed, "{drive} リムーバブル ディスク (空き {free})"},
    {Message::WindowNoSources, "コピー元のフォルダーかファイルを追加してください。"},
    {Message::WindowNoDestination, "コピー先のフォルダーを指定してください。"},
    {Message::WindowProgress, "{done} / {total} ファイル  {bytesDone} / {bytesTotal}"},
    {Message::WindowExamining, "ファイルを調べています..."},
    {Message::WindowCheckSummary,
     "コピーするファイル {copied} 個、名前が変わるもの {renamed} 個、コピー済み {upToDate} 個、"
     "'?' になる文字 {replaced} 個"},
    {Message::WindowNothingWritten, "確認だけです。何も書き込んでいません。"},
    {Message::WindowStopping, "中止しています..."},
    {Message::WindowStopped, "中止しました。コピーが終わったファイルはそのまま使えます。"},
    {Message::WindowCloseDuringCopy, "コピー中です。中止して閉じますか？\n書き込み中のファイルは削"
                                     "除し、コピーが終わったファイルは残します。"},
    {Message::WindowNotFlushed, "まだ USB メモリーやカードを取り外さないでください。"},
    {Message::WindowFileStopped, "中止: {path}"},
};

constexpr CountedEntry COUNTED[] = {
    {CountedMessage::FilesHeader, {"{count} ファイル: "}},
    {CountedMessage::BytesSaved, {"{count} バイト減少"}},
    {CountedMessage::BytesAdded, {"{count} バイト増加"}},
    {CountedMessage::RenamedFrames, {"フレーム名の変更 {count}"}},
    {CountedMessage::ReencodedStrings, {"UTF-16 にした文字列 {count}"}},
    {CountedMessage::SummaryConverted, {"変換 {count}"}},
    {CountedMessage::SummaryWouldConvert, {"変換予定 {count}"}},
    {CountedMessage::SummaryAlreadyConverted, {"変換済み {count}"}},
    {CountedMessage::SummaryNoTag, {"タグなし {count}"}},
    {CountedMessage::SummaryRefused, {"対象外のバージョン {count}"}},
    {CountedMessage::SummaryUnsupported, {"変換できない形式 {count}"}},
    {CountedMessage::SummaryDamaged, {"壊れたタグ {count}"}},
    {CountedMessage::SummaryFailed, {"失敗 {count}"}},
    {CountedMessage::SummaryCopied, {"コピー {count} (変換 {converted})"}},
    {CountedMessage::SummaryWouldCopy, {"コピー予定 {count} (変換 {converted})"}},
    {CountedMessage::SummaryUpToDate, {"コピー済み {count}"}},
    {CountedMessage::SummaryNotReplaced, {"置き換えなし {count}"}},
    {CountedMessage::Confirmation,
     {"{count} 個のうち {toConvert} 個のファイルを変換します。{consequence}\n実行しますか？ "
      "[y/N] "}},
    {CountedMessage::NoTerminal,
     {"{count} 個のファイルを変換できますが、標準入力が端末ではないため確認できません。"
      "何も書き込んでいません。確認なしで変換するには --yes を付けてください。"}},
    {CountedMessage::QuestionMarks, {"{count} 文字が '?' になります"}},
    {CountedMessage::DiskFull,
     {"{folder} がいっぱいになったため、コピーを止めました。書き込めなかったコピー {count} 個。"}},
    {CountedMessage::FoldHint,
     {"{count} 文字が '?' になります。--fold を付けると、似た文字 (波ダッシュなど) で残します。"}},
    {CountedMessage::FoldHintSome,
     {"{marks}。--fold を付けると、そのうち {count} 文字を似た文字 (波ダッシュなど) で残します。"}},
    {CountedMessage::MisreadWideTexts, {"UTF-16・UTF-8 のフレーム {count}"}},
    {CountedMessage::MisreadDroppedValues, {"読まれない値のあるフレーム {count}"}},
    {CountedMessage::MisreadUnsynchronised, {"非同期化 {count}"}},
    {CountedMessage::MisreadVersion4, {"バージョン 2.4 のヘッダー {count}"}},
    {CountedMessage::MisreadId3v1, {"ID3v2 タグと違う ID3v1 タグ {count}"}},
};

static_assert(sizeof MESSAGES / sizeof MESSAGES[0] == MESSAGE_COUNT && inEnumOrder(MESSAGES),
              "every message, in the order of Message");
static_assert(sizeof COUNTED / sizeof COUNTED[0] == COUNTED_MESSAGE_COUNT && inEnumOrder(COUNTED),
              "every counted message, in the order of CountedMessage");

size_t japanesePlural(uint64_t) {
  return 0;
}

const Catalogue JAPANESE = {"Japanese", 1, japanesePlural, MESSAGES, COUNTED};

} // namespace

const Catalogue &japaneseCatalogue() {
  return JAPANESE;
}
