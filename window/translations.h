// Qt's own texts (the name box's menu, for one) in the player's language.
#pragma once

class QCoreApplication;

// Installs Qt's translation for the locale's first language into `app`, when that language is
// not English (Qt's own) and Qt's translations hold it; gives whether one was installed.
bool loadQtTranslations(QCoreApplication& app);
