#pragma once
#include "support/ScriptedUi.h"
#include "support/TestCatalogue.h"

#include <QTemporaryDir>
#include <memory>

class QWidget;

namespace krvs {
class frmKRVS;
}

namespace krvs::test {

// A program folder of its own: the catalogue and the settings file lie in it.
struct AppFolder {
    QTemporaryDir dir;
    QString path() const { return dir.path(); }
    QString catalogue() const { return dir.filePath(QStringLiteral("KRVS.krv")); }
    QString iniFile() const { return dir.filePath(QStringLiteral("KRVS.ini")); }
    // Marks the folder as started before, so that no first-start warning appears.
    void skipFirstStartWarning() const;
};

// Types text key by key into a box as the user does (beyond ASCII: a key with that text).
void typeText(QWidget* box, const QString& text);

// Writes a catalogue of `cards` demo cards (and the password) to path: a copy of one
// krvs-makedb made once in this run.
bool copyOfCatalogue(const QString& path, int cards, const QString& password = QString());

// The main window on folder, made and loaded as the program starts it; the password, when
// given, is typed into ui's start-up prompt. With ui null, the real boxes show. With
// early, the cards are read on another thread before the window is made, as the
// program's own start does.
std::unique_ptr<frmKRVS> startMainWindow(ScriptedUi* ui, const QString& folder,
                                         const QString& password = QString(), bool early = false);

// The rows sql finds in a catalogue opened on its own with exactly the password, or the
// error number opening it or running sql gave.
int cardsOrError(const QString& path, const QString& password,
                 const QString& sql = QStringLiteral("SELECT * FROM tblKRVS101;"));

// The main window's caption with every card of the catalogue loaded.
QString loadedTitle(int cards);

// Runs sql on a catalogue file directly with the engine, past the program's checks.
bool runSql(const QString& path, const QString& sql);

// The main window on a catalogue in a folder of its own, its boxes and forms scripted; a
// test class holds one: init() calls begin(), cleanup() checks end().
class AppFixture {
  public:
    AppFixture();
    ~AppFixture();

    std::unique_ptr<ScriptedUi> ui;
    std::unique_ptr<AppFolder> folder;
    std::unique_ptr<frmKRVS> w;
    bool readEarly = false; // start reads the cards before the window, as the program does

    // A fresh script and an empty folder; `warned` marks it as started before.
    void begin(bool warned = true);
    // Closes the window and removes the folder; false (problems() says why) when the
    // script was not followed.
    bool end();
    QString problems() const { return problems_; }

    // The folder's catalogue, with `cards` demo cards (see copyOfCatalogue).
    bool makeCatalogue(int cards, const QString& password = QString());
    // Starts the main window on the folder (see startMainWindow).
    frmKRVS& start(const QString& password = QString());
    // Closes the window as the user does (the settings are written) and drops it.
    void close();

    // Presses Query in the window, which must be enabled, and checks that it finds cards
    // (after a failure, the window still works).
    void queryWorks();

    // Own of every card in DbId order as stored, one letter a card ('T' or 'F').
    QString ownColumn() const;

    QString at(const QString& name) const { return folder->dir.filePath(name); }
    QString catalogue() const { return folder->catalogue(); }
    QString iniFile() const { return folder->iniFile(); }

  private:
    QString problems_;
};

} // namespace krvs::test
