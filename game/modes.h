#pragma once
// What the screen is showing, named by the short texts the game has always used.

#include <QString>

namespace Mode {
inline const QString Load = QStringLiteral("load");                  // title screen
inline const QString LevelChoice = QStringLiteral("lv選択");         // level dialog
inline const QString GameStart = QStringLiteral("gamestart");        // count-down
inline const QString Measuring = QStringLiteral("keisoku");          // a board in play
inline const QString ResultDisplay = QStringLiteral("kekkahyouji");  // "OK" or "Bad" showing
inline const QString GameOver = QStringLiteral("gameover");          // the game-over picture
inline const QString NameEntry = QStringLiteral("hs入力");  // typing a name for a best score
inline const QString HighScores = QStringLiteral("hs");     // the table view
}  // namespace Mode
