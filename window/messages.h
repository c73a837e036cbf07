#pragma once
// The data files' names and the boxes about them, as the player sees them.

#include <QString>

inline const QString kHighScoreFileName = QStringLiteral("jx.hsd");
inline const QString kPaletteFileName = QStringLiteral("jx.iro");

inline const QString kReadErrorTitle = QStringLiteral("読み込みエラー");
inline const QString kHighScoreReadError =
    QStringLiteral("ハイスコアデータが開けなかったので、新規に作成します。");
inline const QString kPaletteReadError =
    QStringLiteral("色データが開けなかったので、新規に作成します。");

inline const QString kWriteErrorTitle = QStringLiteral("書き込みエラー");
inline const QString kHighScoreWriteError =
    QStringLiteral("ハイスコアデータを保存できませんでした。");
inline const QString kPaletteWriteError = QStringLiteral("色データを保存できませんでした。");
