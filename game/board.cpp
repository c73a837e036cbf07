#include "game/board.h"

#include <cmath>

int scaleDraw(double r, int count) {
    if (!(r > 0.0)) return 0;  // also catches NaN
    const double scaled = std::floor(r * count);
    return scaled >= count ? count - 1 : static_cast<int>(scaled);
}

Board dealBoard(RandomSource& random, quint8 level,
                const std::array<QString, kColourCount>& colourNames,
                const std::array<qint32, kColourCount>& colourValues) {
    const int side = qBound(kMinLevel, int(level), kMaxLevel) + 1;
    Board board;
    board.cellCount = side * side;

    board.targetWord = scaleDraw(random.next(), kColourCount);
    board.targetColour = colourValues[scaleDraw(random.next(), kColourCount)];
    board.answerIndex = static_cast<quint8>(scaleDraw(random.next(), board.cellCount));
    board.cellWord[board.answerIndex] = board.targetWord;
    board.cellColour[board.answerIndex] = board.targetColour;

    // Words are compared by their text, so equal names count as one word.
    std::array<bool, kColourCount> wordIsTarget{};
    bool canDiffer = false;
    for (int k = 0; k < kColourCount; ++k) {
        wordIsTarget[k] = colourNames[k] == colourNames[board.targetWord];
        canDiffer = canDiffer || !wordIsTarget[k] || colourValues[k] != board.targetColour;
    }

    for (int i = 0; i < board.cellCount; ++i) {
        if (i == board.answerIndex) continue;
        do {
            board.cellColour[i] = colourValues[scaleDraw(random.next(), kColourCount)];
            board.cellWord[i] = scaleDraw(random.next(), kColourCount);
            // A palette of one word in one colour has no other pair to offer; stop rather than
            // spin.
        } while (canDiffer && wordIsTarget[board.cellWord[i]] &&
                 board.cellColour[i] == board.targetColour);
    }
    return board;
}
