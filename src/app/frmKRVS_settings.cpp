#include "app/frmKRVS.h"

#include "util/TextAndInput.h"

#include "grid/FlexGrid.h"
#include "settings/IniFile.h"
#include "settings/SettingValues.h"
#include "ui/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

namespace krvs {

namespace {

// The most history entries the settings keep.
constexpr int MaxHistory = 15;

QString colKey(int i) {
    return QStringLiteral("Col") + QString::number(i) + QStringLiteral("Width");
}

// The screen the window is measured against: its whole area, not the work area.
QSize screenSizeTw(const QWidget* w) {
    QScreen* s = w->screen();
    if (!s) s = QGuiApplication::primaryScreen();
    const QSize px = s ? s->geometry().size() : QSize(1024, 768);
    return QSize(pxToTwips(px.width()), pxToTwips(px.height()));
}

// The window system adds its frame only once a window is shown, and the stored
// width and height are the outer frame's. A window restored before it is shown is
// therefore sized again, once, when its frame becomes known, so that it does not
// grow by the frame's size at every start. A window restored maximised is sized when
// it first comes back to its normal state, since the maximised state must not end.
class OuterSizeKeeper : public QObject {
  public:
    OuterSizeKeeper(QWidget* window, QSize outerPx) : QObject(window), outer_(outerPx) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        auto* w = static_cast<QWidget*>(watched);
        // Not at the state change itself: the window system has not yet placed the
        // window anew, and its geometry is still the maximised one.
        if (e->type() != QEvent::Move && e->type() != QEvent::Resize && e->type() != QEvent::Show)
            return false;
        if (!w->isVisible() || w->windowState() != Qt::WindowNoState) return false;
        const QSize extra = w->frameGeometry().size() - w->geometry().size();
        if (extra.width() == 0 && extra.height() == 0) return false; // no frame yet
        w->removeEventFilter(this);
        deleteLater();
        w->resize(qMax(0, outer_.width() - extra.width()),
                  qMax(0, outer_.height() - extra.height()));
        return false;
    }

  private:
    QSize outer_;
};

} // namespace

// ---- the settings file --------------------------------------------------------------

QString frmKRVS::ReadINI(const QString& section, const QString& key, const QString& def) {
    if (g.gIniFile.isEmpty())
        g.gIniFile = programFolderWithSep() + exeName() + QStringLiteral(".ini");
    QString value = krvs::ReadINI(section, key, def, g.gIniFile);
    lastRead_ = {g.gIniFile, section, key, value};
    return value;
}

long frmKRVS::WriteINI(const QString& section, const QString& key, const QString& value) {
    if (g.gIniFile.isEmpty())
        g.gIniFile = programFolderWithSep() + exeName() + QStringLiteral(".ini");
    return krvs::WriteINI(section, key, value, g.gIniFile);
}

namespace {

// The [Checks] section keeps the key-word boxes, the Series boxes, the ownership
// options and the Category boxes, in that order.
struct CheckKey {
    const char* key;
    const char* def;
};
constexpr CheckKey SearchInKeys[] = {{"Title", "1"}, {"Comments", "0"}};
constexpr CheckKey OwnKeys[] = {{"YesOwn", "0"}, {"NoOwn", "0"}, {"BothOwn", "1"}};

} // namespace

// Restores the window and the search panel from the settings file. Each value is
// applied as soon as it is read; a value that cannot be used raises AppError and
// leaves the rest as it stands, for the start-up to report.
void frmKRVS::LoadINI() {
    mMinWidth = 10875;
    mMinHeight = 5625;
    g.gPanelHeight = 2000;

    // The start counter, stored again at once.
    g.gRunCount = wholeNumber(leadingNumber(ReadINI("Main", "Backup_Warn", "0")) + 1);
    WriteINI("Main", "Backup_Warn", QString::number(g.gRunCount));

    // Placement, outer frame in twips, fitted into the whole screen.
    const QSize screenTw = screenSizeTw(this);
    const int curW = outerWidthTw();
    const int curH = outerHeightTw();
    WindowRect r;
    r.left = leadingWhole(
        ReadINI("Main", "Left", QString::number((screenTw.width() - curW) / 2.0, 'g', 12)));
    r.top = leadingWhole(
        ReadINI("Main", "Top", QString::number((screenTw.height() - curH) / 2.0, 'g', 12)));
    r.width = leadingWhole(ReadINI("Main", "Width", QString::number(curW)));
    r.height = leadingWhole(ReadINI("Main", "Height", QString::number(curH)));
    r = fitWindowToScreen(r, mMinWidth, screenTw.width(), screenTw.height());
    // Width and height are the outer frame's; the frame itself is the window system's.
    const QSize outerPx(twipsToPx(r.width), twipsToPx(r.height));
    const QSize frameExtra = frameGeometry().size() - geometry().size();
    move(twipsToPx(r.left), twipsToPx(r.top));
    resize(qMax(0, outerPx.width() - frameExtra.width()),
           qMax(0, outerPx.height() - frameExtra.height()));
    if (!isVisible()) new OuterSizeKeeper(this, outerPx);

    // Maximised over the restored rectangle, which stays the normal placement.
    if (strictBool(ReadINI("Main", "Maximized", "False")))
        setWindowState(windowState() | Qt::WindowMaximized);

    for (int i = 0; i < fgdCards->Cols(); ++i)
        fgdCards->setColWidth(i, strictWhole(ReadINI("Columns", colKey(i), "1000")));

    mnuAutoAst->setChecked(strictBool(ReadINI("Search", "AutoAsterisks", "True")));

    cboSearch->setEditText(ReadINI("Search_Items", "Current", "Vellan,Qorth"));
    int number = leadingInt16(ReadINI("Search_Items", "Number", "1"));
    if (number < 1) number = 1;
    // Keys 0 to Number are read, at most fifteen of them; the list is added to as
    // it stands. Adding items must not change the search text.
    const QString current = cboSearch->currentText();
    for (int i = 0; i <= number && i < MaxHistory; ++i) {
        const QString item = ReadINI("Search_Items", QString::number(i), "");
        if (!item.isEmpty()) {
            cboSearch->addItem(trimBlanks(item));
            cboSearch->setEditText(current);
        }
    }

    // A box's stored value; without one, its initial value.
    const auto loadBox = [this](QCheckBox* box, const char* key, const QString& def) {
        setChkValue(box, checkBoxValue(leadingWhole(ReadINI("Checks", key, def))));
    };
    QCheckBox* const searchIn[] = {chkTitle, chkComm};
    for (int i = 0; i < 2; ++i)
        loadBox(searchIn[i], SearchInKeys[i].key, SearchInKeys[i].def);
    for (std::size_t i : panelOrder(kSeriesBoxes))
        loadBox(chkSeries[i], kSeriesBoxes[i].key, QString::number(kSeriesBoxes[i].initial));

    // The last option set to True wins; all False leaves none selected.
    QRadioButton* const owns[] = {optYesOwn, optNoOwn, optBothOwn};
    for (int i = 0; i < 3; ++i) {
        const bool on = strictBool(ReadINI("Checks", OwnKeys[i].key, OwnKeys[i].def));
        owns[i]->setChecked(on);
        if (on)
            for (int j = 0; j < i; ++j)
                owns[j]->setChecked(false);
    }

    for (std::size_t i : panelOrder(kCategoryBoxes))
        loadBox(chkCategory[i], kCategoryBoxes[i].key, QString::number(kCategoryBoxes[i].initial));

    const SearchMode mode = searchModeFromSetting(ReadINI("Search", "Type", "Advanced"));
    if (mode != searchMode_) setSearchMode(mode);
}

// Stores the window and the search panel in the settings file. The values are
// written in their order into the file's text in memory, and the file is replaced
// by the result in one step: a full disk or a kill keeps the old file whole.
void frmKRVS::SaveINI() {
    if (g.gIniFile.isEmpty())
        g.gIniFile = programFolderWithSep() + exeName() + QStringLiteral(".ini");
    IniEdit edit(g.gIniFile);
    const auto WriteINI = [&edit](const QString& section, const QString& key,
                                  const QString& value) { edit.write(section, key, value); };
    WriteINI("Main", "Backup_Warn", QString::number(g.gRunCount));

    // The placement only from the normal state; otherwise the earlier one stays.
    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect frame = frameGeometry();
        WriteINI("Main", "Left", QString::number(pxToTwips(frame.x())));
        WriteINI("Main", "Top", QString::number(pxToTwips(frame.y())));
        WriteINI("Main", "Width", QString::number(outerWidthTw()));
        WriteINI("Main", "Height", QString::number(outerHeightTw()));
    }
    WriteINI("Main", "Maximized", boolText(isMaximized()));

    for (int i = 0; i < fgdCards->Cols(); ++i)
        WriteINI("Columns", colKey(i), QString::number(fgdCards->ColWidth(i)));

    WriteINI("Search", "AutoAsterisks", boolText(mnuAutoAst->isChecked()));

    // The history is written afresh, so its section ends up last in the file.
    WriteINI("Search_Items", "", "");
    const int n = qMin(cboSearch->count(), MaxHistory);
    WriteINI("Search_Items", "Number", QString::number(n));
    WriteINI("Search_Items", "Current", trimBlanks(cboSearch->currentText()));
    for (int i = 0; i < n; ++i)
        WriteINI("Search_Items", QString::number(i), trimBlanks(cboSearch->itemText(i)));

    const auto saveBox = [&WriteINI](const QCheckBox* box, const char* key) {
        WriteINI("Checks", key, QString::number(chkValue(box)));
    };
    saveBox(chkTitle, SearchInKeys[0].key);
    saveBox(chkComm, SearchInKeys[1].key);
    for (std::size_t i : panelOrder(kSeriesBoxes))
        saveBox(chkSeries[i], kSeriesBoxes[i].key);
    const QRadioButton* const owns[] = {optYesOwn, optNoOwn, optBothOwn};
    for (int i = 0; i < 3; ++i)
        WriteINI("Checks", OwnKeys[i].key, boolText(owns[i]->isChecked()));
    for (std::size_t i : panelOrder(kCategoryBoxes))
        saveBox(chkCategory[i], kCategoryBoxes[i].key);

    WriteINI("Search", "Type", searchModeSetting(searchMode_));
    edit.commit(); // a file that cannot be written keeps the old settings, silently
}

} // namespace krvs
