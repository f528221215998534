#include "app/WindowSettings.h"

#include "grid/FlexGrid.h"
#include "settings/IniFile.h"
#include "ui/CheckBoxValue.h"
#include "ui/Twips.h"
#include "util/TextAndInput.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGuiApplication>
#include <QRadioButton>
#include <QScreen>
#include <QWidget>
#include <array>

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

// The [Checks] section keeps the key-word boxes, the Series boxes, the ownership
// options and the Category boxes, in that order.
struct CheckKey {
    const char* key;
    const char* def;
};
constexpr CheckKey SearchInKeys[] = {{"Title", "1"}, {"Comments", "0"}};
constexpr CheckKey OwnKeys[] = {{"YesOwn", "0"}, {"NoOwn", "0"}, {"BothOwn", "1"}};

int outerWidthTw(const QWidget* w) {
    return pxToTwips(w->frameGeometry().width());
}
int outerHeightTw(const QWidget* w) {
    return pxToTwips(w->frameGeometry().height());
}

// The Own options in the order of the settings file's keys: yes, no, both.
std::array<QRadioButton*, 3> ownOptions(const SearchControls& c) {
    return {c.optYesOwn, c.optNoOwn, c.optBothOwn};
}

} // namespace

WindowSettings::WindowSettings(QString iniFile, int minWidthTw, const SearchControls& controls,
                               WindowOps window)
    : iniFile_(std::move(iniFile)), minWidthTw_(minWidthTw), c_(controls),
      window_(std::move(window)) {}

QString WindowSettings::read(const QString& section, const QString& key, const QString& def) {
    QString value = ReadINI(section, key, def, iniFile_);
    lastRead_ = {iniFile_, section, key, value};
    return value;
}

long WindowSettings::write(const QString& section, const QString& key, const QString& value) {
    return WriteINI(section, key, value, iniFile_);
}

// Placement, outer frame in twips, fitted into the whole screen.
void WindowSettings::restorePlacement() {
    QWidget* const w = window_.window;
    const QSize screenTw = screenSizeTw(w);
    const int curW = outerWidthTw(w);
    const int curH = outerHeightTw(w);
    WindowRect r;
    r.left = leadingWhole(
        read("Main", "Left", QString::number((screenTw.width() - curW) / 2.0, 'g', 12)));
    r.top = leadingWhole(
        read("Main", "Top", QString::number((screenTw.height() - curH) / 2.0, 'g', 12)));
    r.width = leadingWhole(read("Main", "Width", QString::number(curW)));
    r.height = leadingWhole(read("Main", "Height", QString::number(curH)));
    r = fitWindowToScreen(r, minWidthTw_, screenTw.width(), screenTw.height());
    // Width and height are the outer frame's; the frame itself is the window system's.
    const QSize outerPx(twipsToPx(r.width), twipsToPx(r.height));
    const QSize frameExtra = w->frameGeometry().size() - w->geometry().size();
    w->move(twipsToPx(r.left), twipsToPx(r.top));
    w->resize(qMax(0, outerPx.width() - frameExtra.width()),
              qMax(0, outerPx.height() - frameExtra.height()));
    if (!w->isVisible()) new OuterSizeKeeper(w, outerPx);

    // Maximised over the restored rectangle, which stays the normal placement.
    if (strictBool(read("Main", "Maximized", "False")))
        w->setWindowState(w->windowState() | Qt::WindowMaximized);
}

// Each value is applied as soon as it is read.
void WindowSettings::load() {
    // The start counter, stored again at once.
    runCount_ = wholeNumber(leadingNumber(read("Main", "Backup_Warn", "0")) + 1);
    write("Main", "Backup_Warn", QString::number(runCount_));

    restorePlacement();

    for (int i = 0; i < c_.fgdCards->Cols(); ++i)
        c_.fgdCards->setColWidth(i, strictWhole(read("Columns", colKey(i), "1000")));

    c_.mnuAutoAst->setChecked(strictBool(read("Search", "AutoAsterisks", "True")));

    QComboBox* const search = c_.cboSearch;
    search->setEditText(read("Search_Items", "Current", "Vellan,Qorth"));
    int number = leadingInt16(read("Search_Items", "Number", "1"));
    if (number < 1) number = 1;
    // Keys 0 to Number are read, at most fifteen of them; the list is added to as
    // it stands. Adding items must not change the search text.
    const QString current = search->currentText();
    for (int i = 0; i <= number && i < MaxHistory; ++i) {
        const QString item = read("Search_Items", QString::number(i), "");
        if (!item.isEmpty()) {
            search->addItem(trimBlanks(item));
            search->setEditText(current);
        }
    }

    // A box's stored value; without one, its initial value.
    const auto loadBox = [this](QCheckBox* box, const char* key, const QString& def) {
        setCheckBoxState(box, checkBoxValue(leadingWhole(read("Checks", key, def))));
    };
    QCheckBox* const searchIn[] = {c_.chkTitle, c_.chkComm};
    for (int i = 0; i < 2; ++i)
        loadBox(searchIn[i], SearchInKeys[i].key, SearchInKeys[i].def);
    for (std::size_t i : panelOrder(kSeriesBoxes))
        loadBox(c_.chkSeries[i], kSeriesBoxes[i].key, QString::number(kSeriesBoxes[i].initial));

    // The last option set to True wins; all False leaves none selected.
    const auto owns = ownOptions(c_);
    for (std::size_t i = 0; i < owns.size(); ++i) {
        const bool on = strictBool(read("Checks", OwnKeys[i].key, OwnKeys[i].def));
        owns[i]->setChecked(on);
        if (on)
            for (std::size_t j = 0; j < i; ++j)
                owns[j]->setChecked(false);
    }

    for (std::size_t i : panelOrder(kCategoryBoxes))
        loadBox(c_.chkCategory[i], kCategoryBoxes[i].key,
                QString::number(kCategoryBoxes[i].initial));

    const SearchMode mode = searchModeFromSetting(read("Search", "Type", "Advanced"));
    if (mode != window_.searchMode()) window_.setSearchMode(mode);
}

// The values are written in their order into the file's text in memory, and the
// file is replaced by the result in one step: a full disk or a kill keeps the old
// file whole.
void WindowSettings::save() const {
    IniEdit edit(iniFile_);
    const auto put = [&edit](const QString& section, const QString& key, const QString& value) {
        edit.write(section, key, value);
    };
    put("Main", "Backup_Warn", QString::number(runCount_));

    // The placement only from the normal state; otherwise the earlier one stays.
    const QWidget* const w = window_.window;
    if (!(w->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect frame = w->frameGeometry();
        put("Main", "Left", QString::number(pxToTwips(frame.x())));
        put("Main", "Top", QString::number(pxToTwips(frame.y())));
        put("Main", "Width", QString::number(outerWidthTw(w)));
        put("Main", "Height", QString::number(outerHeightTw(w)));
    }
    put("Main", "Maximized", boolText(w->isMaximized()));

    for (int i = 0; i < c_.fgdCards->Cols(); ++i)
        put("Columns", colKey(i), QString::number(c_.fgdCards->ColWidth(i)));

    put("Search", "AutoAsterisks", boolText(c_.mnuAutoAst->isChecked()));

    // The history is written afresh, so its section ends up last in the file.
    put("Search_Items", "", "");
    const int n = qMin(c_.cboSearch->count(), MaxHistory);
    put("Search_Items", "Number", QString::number(n));
    put("Search_Items", "Current", trimBlanks(c_.cboSearch->currentText()));
    for (int i = 0; i < n; ++i)
        put("Search_Items", QString::number(i), trimBlanks(c_.cboSearch->itemText(i)));

    const auto saveBox = [&put](const QCheckBox* box, const char* key) {
        put("Checks", key, QString::number(checkBoxState(box)));
    };
    saveBox(c_.chkTitle, SearchInKeys[0].key);
    saveBox(c_.chkComm, SearchInKeys[1].key);
    for (std::size_t i : panelOrder(kSeriesBoxes))
        saveBox(c_.chkSeries[i], kSeriesBoxes[i].key);
    const auto owns = ownOptions(c_);
    for (std::size_t i = 0; i < owns.size(); ++i)
        put("Checks", OwnKeys[i].key, boolText(owns[i]->isChecked()));
    for (std::size_t i : panelOrder(kCategoryBoxes))
        saveBox(c_.chkCategory[i], kCategoryBoxes[i].key);

    put("Search", "Type", searchModeSetting(window_.searchMode()));
    edit.commit(); // a file that cannot be written keeps the old settings, silently
}

} // namespace krvs
