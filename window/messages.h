#pragma once
// The data files' names and the boxes about them, as the player sees them.

#include <QString>

inline const QString kReadErrorTitle = QStringLiteral("読み込みエラー");
inline const QString kHighScoreReadError =
    QStringLiteral("ハイスコアデータが開けなかったので、新規に作成します。");
inline const QString kPaletteReadError =
    QStringLiteral("色データが開けなかったので、新規に作成します。");

inline const QString kWriteErrorTitle = QStringLiteral("書き込みエラー");
inline const QString kHighScoreWriteError =
    QStringLiteral("ハイスコアデータを保存できませんでした。");
inline const QString kPaletteWriteError = QStringLiteral("色データを保存できませんでした。");

// What the boxes about one data file say: that it could not be read and is made anew; that it
// could not be read and is left as it is; that it cannot be saved.
struct DataFileWords {
    QString name;
    QString readError;
    QString readFailed;
    QString writeError;
};

inline const DataFileWords kHighScoreFile{QStringLiteral("jx.hsd"), kHighScoreReadError,
                                          QStringLiteral("ハイスコアデータが開けませんでした。"),
                                          kHighScoreWriteError};
inline const DataFileWords kPaletteFile{QStringLiteral("jx.iro"), kPaletteReadError,
                                        QStringLiteral("色データが開けませんでした。"),
                                        kPaletteWriteError};
