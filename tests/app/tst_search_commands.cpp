// The search panel's commands on their own controls, with the window's operations
// scripted: what they ask of the window, and in which order, when a statement has
// rows, has none, or fails.
#include "app/SearchCommands.h"
#include "grid/FlexGrid.h"
#include "support/ScriptedUi.h"
#include "ui/CheckBoxValue.h"
#include "ui/MousePointer.h"
#include "util/AppError.h"

#include <QtTest>
#include <QtWidgets>

using namespace krvs;
using namespace krvs::test;

namespace {

// How the scripted window answers each bindGrid, in turn.
enum class Bind { Rows, NoRows, Fails };

} // namespace
Q_DECLARE_METATYPE(QList<Bind>)

class tst_search_commands : public QObject {
    Q_OBJECT

    QWidget window_;
    SearchControls c_;
    QAction autoAst_{nullptr};
    // What the commands asked of the window.
    QStringList binds_;
    QList<int> pointers_;
    SearchRequest shown_;
    QList<Bind> answers_;

    static SearchRequest shownBefore() { return typedRequest(QStringLiteral("SELECT shown")); }

    std::unique_ptr<SearchCommands> make(SearchMode mode) {
        WindowOps ops;
        ops.window = &window_;
        ops.setMousePointer = [this](int code) { pointers_ << code; };
        ops.bindGrid = [this](const SearchRequest& request) {
            binds_ << request.text;
            const Bind b = answers_.isEmpty() ? Bind::Rows : answers_.takeFirst();
            if (b == Bind::Fails) throw AppError::objectClosed();
            c_.fgdCards->setRows(b == Bind::Rows ? 4 : 1);
            return b == Bind::Rows;
        };
        ops.shownSearch = [this] { return shown_; };
        ops.setShownSearch = [this](const SearchRequest& request) { shown_ = request; };
        ops.searchMode = [mode] { return mode; };
        return std::make_unique<SearchCommands>(c_, ops);
    }

  private slots:
    void initTestCase() {
        c_.cboSearch = new QComboBox(&window_);
        c_.cboSearch->setEditable(true);
        c_.chkTitle = new QCheckBox(&window_);
        c_.chkComm = new QCheckBox(&window_);
        for (auto& box : c_.chkSeries)
            box = new QCheckBox(&window_);
        for (auto& box : c_.chkCategory)
            box = new QCheckBox(&window_);
        c_.optYesOwn = new QRadioButton(&window_);
        c_.optNoOwn = new QRadioButton(&window_);
        c_.optBothOwn = new QRadioButton(&window_);
        c_.optBothOwn->setChecked(true);
        autoAst_.setCheckable(true);
        autoAst_.setChecked(true);
        c_.mnuAutoAst = &autoAst_;
        c_.txtSQL = new QPlainTextEdit(&window_);
        c_.fgdCards = new FlexGrid(&window_);
        setCheckBoxState(c_.chkTitle, 1);
        setCheckBoxState(c_.chkSeries[0], 1);
        setCheckBoxState(c_.chkCategory[0], 1);
    }
    void init() {
        binds_.clear();
        pointers_.clear();
        shown_ = shownBefore();
        c_.fgdCards->setRows(3);
        window_.setWindowTitle(QStringLiteral("before"));
    }

    // A statement with rows becomes the one shown; one without rows shows the search
    // shown before again, or every card when that can no longer run; a failure keeps
    // what was shown. The pointer is back to normal on every path.
    void queryAsksTheWindow_data() {
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<QList<Bind>>("answers");
        QTest::addColumn<QString>("binds");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("box");
        const QString typed = QStringLiteral("DELETE FROM tblX");
        const QString all = loadAllRequest().text;
        const QString matches = QStringLiteral("Korvessa Database - (Matches returned=%1)");
        QTest::newRow("rows") << true << QList<Bind>{Bind::Rows} << typed << typed << matches.arg(3)
                              << QString();
        QTest::newRow("no rows") << true << QList<Bind>{Bind::NoRows, Bind::Rows}
                                 << typed + "|SELECT shown"
                                 << "SELECT shown" << matches.arg(3) << QString();
        QTest::newRow("no rows, shown gone")
            << true << QList<Bind>{Bind::NoRows, Bind::Fails, Bind::Rows}
            << typed + "|SELECT shown|" + all << all << matches.arg(3) << QString();
        QTest::newRow("fails") << true << QList<Bind>{Bind::Fails} << typed << "SELECT shown"
                               << "Korvessa Database"
                               << "Error in Query";
        QTest::newRow("panel") << false << QList<Bind>{Bind::Rows} << "panel"
                               << "panel" << matches.arg(3) << QString();
    }
    void queryAsksTheWindow() {
        QFETCH(bool, advanced);
        QFETCH(QList<Bind>, answers);
        QFETCH(QString, binds);
        QFETCH(QString, shown);
        QFETCH(QString, caption);
        QFETCH(QString, box);
        ScriptedUi ui;
        if (!box.isEmpty()) ui.answer(mb::AnsOK, box);
        answers_ = answers;
        c_.txtSQL->setPlainText(QStringLiteral("DELETE FROM tblX"));
        c_.cboSearch->setEditText(QStringLiteral(" Vellan ,, Qorth "));
        auto search = make(advanced ? SearchMode::Advanced : SearchMode::Simple);
        search->query();

        const QString statement = search->statement();
        if (!advanced) {
            QVERIFY(statement.startsWith("SELECT * FROM tblKRVS101 "));
            QCOMPARE(c_.cboSearch->itemText(0), QString("Vellan,Qorth"));
            binds.replace("panel", statement);
            shown.replace("panel", statement);
        } else {
            QCOMPARE(statement, QString("DELETE FROM tblX"));
        }
        QCOMPARE(binds_.join('|'), binds);
        QCOMPARE(shown_.text, shown);
        QCOMPARE(window_.windowTitle(), caption);
        QCOMPARE(pointers_, (QList<int>{pointer::Hourglass, pointer::Default}));
        QVERIFY2(ui.problems().isEmpty(), qPrintable(ui.problems()));
    }

    // The Select All buttons alternate whatever the boxes show, each with its own state.
    void selectAllAlternates() {
        auto search = make(SearchMode::Simple);
        const auto values = [](const auto& boxes) {
            QList<int> v;
            for (QCheckBox* b : boxes)
                v << checkBoxState(b);
            return v;
        };
        const QList<int> ticked(static_cast<int>(kSeriesCount), 1);
        for (QCheckBox* b : c_.chkSeries)
            setCheckBoxState(b, 1);
        setCheckBoxState(c_.chkCategory[1], 2);
        search->toggleAllSeries(); // ticks, though all are ticked already
        QCOMPARE(values(c_.chkSeries), ticked);
        search->toggleAllSeries();
        QCOMPARE(values(c_.chkSeries), QList<int>(static_cast<int>(kSeriesCount), 0));
        search->toggleAllCategories(); // the series' presses are not the categories'
        QCOMPARE(values(c_.chkCategory), QList<int>(static_cast<int>(kCategoryCount), 1));
        QVERIFY(!c_.chkCategory[1]->isTristate());
        QVERIFY(binds_.isEmpty());
    }
};

QTEST_MAIN(tst_search_commands)
#include "tst_search_commands.moc"
