#include "details/frmDetails.h"

#include "ui/LabelFit.h"

#include "catalogue/Catalogue.h"
#include "details/CardUpdate.h"
#include "details/MultiLineTextBox.h"
#include "ui/DialogKeys.h"
#include "ui/FocusHook.h"
#include "ui/FormGeometry.h"
#include "ui/MousePointer.h"
#include "ui/SelectAllText.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "util/AppError.h"
#include "util/ScopeGuard.h"
#include "util/TextAndInput.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace krvs {

namespace {
// Inner size of the dialog in twips: the controls with a margin of 120.
constexpr int kWidthTw = 6855;
constexpr int kHeightTw = 3990;
constexpr int kMaxTyped = 255;

const QString kOwnTitle = QStringLiteral("Own field update");

void setBackground(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, colour);
    w->setPalette(p);
}

QLineEdit* readOnlyBox(QWidget* parent, const char* name) {
    auto* box = named(new QLineEdit(parent), name);
    box->setReadOnly(true);
    setBackground(box, box->palette().color(QPalette::Button));
    return box;
}

// The dialog is disabled while it writes, which takes the focus from its control:
// give it back afterwards, so that a keyboard user goes on from where they were.
class KeepFocus {
  public:
    explicit KeepFocus(QWidget* form) : had_(form->focusWidget()) {}
    ~KeepFocus() {
        if (had_ && had_->isEnabled()) had_->setFocus(Qt::OtherFocusReason);
    }
    KeepFocus(const KeepFocus&) = delete;
    KeepFocus& operator=(const KeepFocus&) = delete;

  private:
    QPointer<QWidget> had_;
};

QString question(const char* first) {
    return QLatin1String(first) + QStringLiteral("\r\n") +
           QStringLiteral("Do you want to continue?");
}
} // namespace

frmDetails::frmDetails(Catalogue& catalogue, const Card& card, std::function<void()> refreshGrid,
                       QWidget* owner)
    : QDialog(owner), catalogue_(catalogue), card_(card), refreshGrid_(std::move(refreshGrid)) {
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("Card Details"));
    setModal(true);
    createControls();
    Form_Load();
}

frmDetails::~frmDetails() = default;

void frmDetails::createControls() {
    makeFixedDialog(this);

    struct LabelSpec {
        const char* caption;
        int left, top;
    };
    static const LabelSpec labels[9] = {
        {"Card Index", 120, 120},  {"Card Type", 3480, 120},   {"Card Series", 3480, 480},
        {"Card Title", 120, 1200}, {"DB Comments", 120, 1560}, {"Card Category", 120, 480},
        {"U Comments", 120, 2520}, {"Card Season", 120, 840},  {"Card Own", 3480, 840},
    };
    // Each label stands before the box to its right, with 1080 twips for its caption and
    // a gap of 60. Where the desktop's font needs more, both label columns widen by the
    // difference and everything right of them moves over (the dialog grows twice).
    int need = 0;
    for (int i = 0; i < 9; ++i) {
        Label1[i] = new QLabel(QLatin1String(labels[i].caption), this);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        need = qMax(need, Label1[i]->sizeHint().width());
    }
    constexpr int kCaptionRoom = 1080 - 60;
    const int grow = qMax(0, pxToTwips(need + 1) - kCaptionRoom);
    // A design x in twips, moved past the widened label columns.
    const auto x = [grow](int designX) {
        return designX + (designX >= 1200 ? grow : 0) + (designX >= 4560 ? grow : 0);
    };
    const auto put = [&x](QWidget* c, int left, int top, int width, int height) {
        place(c, x(left), top, x(left + width) - x(left), height);
    };
    for (int i = 0; i < 9; ++i)
        put(Label1[i], labels[i].left, labels[i].top, kCaptionRoom + grow, 225);

    txtCardIdx = readOnlyBox(this, "txtCardIdx");
    put(txtCardIdx, 1200, 120, 2115, 330);
    txtCardType = readOnlyBox(this, "txtCardType");
    put(txtCardType, 4560, 120, 2115, 330);
    txtCardCat = readOnlyBox(this, "txtCardCat");
    put(txtCardCat, 1200, 480, 2115, 330);
    txtCardSeries = readOnlyBox(this, "txtCardSeries");
    put(txtCardSeries, 4560, 480, 2115, 330);
    txtCardSeason = readOnlyBox(this, "txtCardSeason");
    put(txtCardSeason, 1200, 840, 2115, 330);

    picOwn = named(new QWidget(this), "picOwn");
    put(picOwn, 4560, 875, 2115, 195);
    optOwnYes = named(new QRadioButton(QStringLiteral("&Yes"), picOwn), "optOwnYes");
    place(optOwnYes, 0, 0, 735, 195);
    optOwnNo = named(new QRadioButton(QStringLiteral("&No"), picOwn), "optOwnNo");
    place(optOwnNo, 840, 0, 735, 195);
    // Qt's exclusive options let Tab stop only at the selected one; these are kept
    // exclusive by hand so that Tab reaches both.
    for (QRadioButton* o : {optOwnYes, optOwnNo}) {
        o->setAutoExclusive(false);
        QRadioButton* other = o == optOwnYes ? optOwnNo : optOwnYes;
        connect(o, &QRadioButton::toggled, this, [other](bool on) {
            if (on) other->setChecked(false);
        });
        // A click on the selected option keeps it selected.
        connect(o, &QRadioButton::clicked, this, [o](bool on) {
            if (!on) o->setChecked(true);
        });
    }
    cmdUpOwn = named(new QPushButton(QStringLiteral("~~"), picOwn), "cmdUpOwn");
    cmdUpOwn->setToolTip(QStringLiteral("Update the Own field"));
    place(cmdUpOwn, 1560, 0, 495, 195);

    txtCardTitle = readOnlyBox(this, "txtCardTitle");
    put(txtCardTitle, 1200, 1200, 5475, 330);

    txtDBcomm = named(new MultiLineTextBox(this), "txtDBcomm");
    txtDBcomm->setReadOnly(true);
    // Read-only, but still reachable with Tab and selectable for copying.
    txtDBcomm->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtDBcomm->setFocusPolicy(Qt::StrongFocus);
    txtDBcomm->setMaxLength(kMaxTyped);
    txtDBcomm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setBackground(txtDBcomm, txtDBcomm->palette().color(QPalette::Button));
    put(txtDBcomm, 1200, 1560, 5475, 810);

    txtUcomm = named(new MultiLineTextBox(this), "txtUcomm");
    txtUcomm->setMaxLength(kMaxTyped);
    txtUcomm->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    put(txtUcomm, 1200, 2520, 5475, 810);

    cmdUpUcomm =
        named(new QPushButton(QStringLiteral("&Update User Comments"), this), "cmdUpUcomm");
    cmdUpUcomm->setToolTip(QStringLiteral("Update the user comments"));
    put(cmdUpUcomm, 1200, 3480, 1935, 350);
    // It may reach towards the id box beside it.
    fitButton(cmdUpUcomm, x(3720) - x(1200) - 120);
    cmdOK = named(new QPushButton(QStringLiteral("&Close"), this), "cmdOK");
    cmdOK->setToolTip(QStringLiteral("Close"));
    put(cmdOK, 6000, 3480, 735, 350);

    txtCardId = named(new QLineEdit(this), "txtCardId");
    txtCardId->setReadOnly(true);
    setBackground(txtCardId, QColor(128, 128, 255));
    put(txtCardId, 3720, 3480, 1875, 330);
    SetClientSize(this, x(kWidthTw), kHeightTw);

    useDesignDefault(this, nullptr);

    setTabChain({txtCardIdx, txtCardType, txtCardCat, txtCardSeries, txtCardSeason, optOwnYes,
                 optOwnNo, cmdUpOwn, txtCardTitle, txtDBcomm, txtUcomm, cmdUpUcomm, cmdOK,
                 txtCardId});

    connect(cmdUpOwn, &QPushButton::clicked, this, &frmDetails::cmdUpOwn_Click);
    connect(cmdUpUcomm, &QPushButton::clicked, this, &frmDetails::cmdUpUcomm_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmDetails::cmdOK_Click);
    onGotFocus(txtUcomm, [this] { txtUcomm_GotFocus(); });
}

void frmDetails::setMousePointer(int code) {
    mousePointer_ = code;
    showMousePointer(this, code);
}

void frmDetails::Form_Load() {
    // Every step stands alone: one that fails is skipped and the next one runs.
    auto step = [](auto&& f) {
        try {
            f();
        } catch (...) {
        }
    };
    step([&] { CenterForm(parentWidget(), this); });
    step([&] {
        const Card& c = card_;
        txtCardId->setText(QString::number(c.DbId));
        txtCardIdx->setText(c.Index);
        txtCardType->setText(c.CardType);
        txtCardCat->setText(c.Category);
        txtCardSeries->setText(c.Series);
        txtCardSeason->setText(c.Season);
        txtCardTitle->setText(c.Title);
    });
    step([&] {
        if (card_.Own)
            optOwnYes->setChecked(true);
        else
            optOwnNo->setChecked(true);
    });
    step([&] {
        txtDBcomm->setText(card_.DBComments);
        txtUcomm->setText(card_.UserComments);
    });
}

void frmDetails::cmdUpOwn_Click() {
    const bool own = optOwnYes->isChecked();
    if (ui().msgBox(question("This will update the Own field in the database!"),
                    mb::YesNo | mb::Information | mb::DefaultButton2, kOwnTitle) != mb::AnsYes)
        return;

    const KeepFocus keep(this);
    applyUpdate(
        this, [this](int code) { setMousePointer(code); },
        [&] { catalogue_.setOwn(card_.DbId, own); }, kOwnTitle,
        QStringLiteral("Error in updating Own field"), refreshGrid_);
}

void frmDetails::cmdUpUcomm_Click() {
    const QString comment = commentForUpdate(txtUcomm->text());
    if (ui().msgBox(question("This will update the User comment in the database!"),
                    mb::YesNo | mb::Information | mb::DefaultButton2,
                    QStringLiteral("User comment update")) != mb::AnsYes)
        return;

    const KeepFocus keep(this);
    applyUpdate(
        this, [this](int code) { setMousePointer(code); },
        [&] { catalogue_.setComment(card_.DbId, comment); }, QStringLiteral("User comments update"),
        QStringLiteral("Error in updating User comment"), refreshGrid_);
    QCoreApplication::processEvents(); // after a success and after an error alike
}

void frmDetails::cmdOK_Click() {
    accept();
}

void frmDetails::txtUcomm_GotFocus() {
    SelectAllText(txtUcomm);
}

} // namespace krvs
