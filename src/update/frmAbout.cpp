#include "update/frmAbout.h"

#include "util/TextAndInput.h"

#include "krvs_version.h"
#include "ui/DialogKeys.h"
#include "ui/FormGeometry.h"
#include "ui/LabelFit.h"
#include "ui/ProgramIcon.h"
#include "ui/SelectAllText.h"
#include "ui/TitleFit.h"
#include "ui/Twips.h"
#include "ui/UiServices.h"
#include "update/frmUpdate.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace krvs {

namespace {

// The platform's mouse-button numbers: 1 left, 2 right, 4 middle.
constexpr int LeftButton = 1;

QLabel* label(QWidget* parent, const QString& name, const QString& text, double l, double t,
              double w, double h) {
    auto* c = named(new QLabel(text, parent), name);
    place(c, l, t, w, h);
    c->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return c;
}

void setTextColour(QLabel* l, const QColor& colour) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
}

constexpr int ClientWidth = 6255;
constexpr int ClientHeight = 5280;

} // namespace

frmAbout::frmAbout(QWidget* owner, QWidget* mainWindow) : QDialog(owner), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About KRVS"));
    setWindowIcon(programIcon());
    setModal(true);
    makeFixedDialog(this);
    useDesignFont(this);

    shpRect = named(new QFrame(this), "shpRect");
    shpRect->setFrameShape(QFrame::Box);
    place(shpRect, 120, 120, 6015, 1695);

    imgIcon = label(this, QStringLiteral("imgIcon"), QString(), 240, 240, 480, 480);
    imgIcon->setPixmap(programIconPixmap(imgIcon->width()));
    Image1 = label(this, QStringLiteral("Image1"), QString(), 5160, 240, 855, 855);
    Image1->setPixmap(programIconPixmap(Image1->width()));

    const QString dots(240, QLatin1Char('.'));
    const struct {
        QString text;
        double l, t, w, h;
    } info[5] = {
        {QStringLiteral("Korvessa Database"), 840, 210, 4200, 330},
        {QStringLiteral("KRVS"), 840, 540, 4200, 240},
        {QStringLiteral(
             "A database program to catalog and keep track of cards in the Korvessa collection."),
         840, 800, 4200, 450},
        {dots, 120, 1860, 6015, 210},
        {dots, 120, 3960, 6015, 210},
    };
    for (int i = 0; i < 5; ++i) {
        lblInfo[i] = label(this, QStringLiteral("lblInfo_%1").arg(i), info[i].text, info[i].l,
                           info[i].t, info[i].w, info[i].h);
        lblInfo[i]->setWordWrap(i == 2);
    }
    // The dotted rules: as many dots as the line holds at the box's font.
    for (int i : {3, 4}) {
        const QFontMetrics fm = lblInfo[i]->fontMetrics();
        QString rule = dots;
        while (rule.size() > 1 && fm.horizontalAdvance(rule) > lblInfo[i]->width())
            rule.chop(1);
        lblInfo[i]->setText(rule);
    }
    QFont title = lblInfo[0]->font();
    title.setBold(true);
    title.setPointSizeF(12);
    lblInfo[0]->setFont(title);
    QFont shortName = lblInfo[1]->font();
    shortName.setBold(true);
    lblInfo[1]->setFont(shortName);

    lblVersion =
        label(this, QStringLiteral("lblVersion"), QStringLiteral("Version:"), 840, 1320, 4200, 255);

    txtProgInfo = named(new QPlainTextEdit(this), "txtProgInfo");
    place(txtProgInfo, 120, 2100, 6015, 1815);
    txtProgInfo->setReadOnly(true);
    txtProgInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    const QColor linkColour(0, 0, 255);
    lblProduct = label(this, QStringLiteral("lblProduct"), QStringLiteral("Quillmark"), 240, 4200,
                       1335, 255);
    lblURL = label(this, QStringLiteral("lblURL"), makerWebAddress(), 1680, 4200, 3135, 255);
    lblCopyright = label(this, QStringLiteral("lblCopyright"),
                         QStringLiteral("Copyright \u00A9 2025 Tamsin Arlow, Quillmark"), 240, 4500,
                         4575, 255);
    lblVersionUpdate = label(this, QStringLiteral("lblVersionUpdate"),
                             QStringLiteral("Update Information"), 240, 4800, 2055, 255);
    lblDescription =
        label(this, QStringLiteral("lblDescription"), QString(), 2400, 4800, 2295, 255);
    lblProduct->setToolTip(QStringLiteral("Go to the official website"));
    lblURL->setToolTip(QStringLiteral("Go to the official website"));
    lblCopyright->setToolTip(QStringLiteral("Email the owner/programmer"));
    lblVersionUpdate->setToolTip(QStringLiteral("Check for an update"));
    for (QLabel* l : {lblProduct, lblURL, lblCopyright, lblVersionUpdate}) {
        setTextColour(l, linkColour);
        l->setCursor(Qt::PointingHandCursor);
        l->installEventFilter(this);
    }

    cmdOK = named(new QPushButton(QStringLiteral("&OK"), this), "cmdOK");
    place(cmdOK, 4920, 4740, 1215, 375);
    useDesignDefault(this, nullptr);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    SetClientSize(this, ClientWidth, ClientHeight);
    Form_Load();
    cmdOK->setFocus();
}

QString frmAbout::mailAddress() {
    return QStringLiteral("software@quillmark.example");
}

QString frmAbout::programInfoText() {
    const QStringList paragraphs = {
        QStringLiteral("Korvessa Database 0.80.0, the first release, came out on 14 March 2025. "
                       "Its card information was taken from the publisher's printed Korvessa "
                       "checklists and checked against the cards themselves."),
        QStringLiteral("KRVS was developed by Tamsin Arlow at Quillmark. Many thanks to Oren Vale "
                       "for designing the logo, and to every collector who sent in checklists, "
                       "corrections and ideas."),
        QStringLiteral("Comments, feedback or criticism are always welcome: please write through "
                       "the Quillmark web site at ") +
            makerWebAddress() + QStringLiteral(", or e-mail the programmer at ") + mailAddress() +
            QLatin1Char('.'),
        QStringLiteral("Korvessa and the names and marks on which the cards are based are "
                       "trademarks of their owner; Quillmark is not affiliated with or endorsed "
                       "by that owner. This program only keeps track of a collection of "
                       "collectible cards. Quillmark is independent of the cards' publisher and "
                       "distributor, and no profit is made from the distribution of this "
                       "program."),
    };
    return paragraphs.join(QStringLiteral("\r\n\r\n"));
}

void frmAbout::Form_Load() {
    CenterForm(mainWindow_, this);
    lblVersion->setText(QStringLiteral("Version: %1.%2.%3")
                            .arg(KRVS_VERSION_MAJOR)
                            .arg(KRVS_VERSION_MINOR)
                            .arg(KRVS_VERSION_PATCH));
    txtProgInfo->setPlainText(
        programInfoText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void frmAbout::Form_LostFocus() {
    close();
}

void frmAbout::cmdOK_Click() {
    accept();
}

void frmAbout::markClicked(QLabel* l) {
    setTextColour(l, QColor(255, 0, 0));
}

void frmAbout::lblProduct_MouseDown(int button, int, int, int) {
    markClicked(lblProduct);
    if (button == LeftButton) openLink(makerWebAddress());
}

void frmAbout::lblURL_MouseDown(int button, int, int, int) {
    markClicked(lblURL);
    if (button == LeftButton) openLink(makerWebAddress());
}

void frmAbout::lblCopyright_MouseDown(int, int, int, int) {
    markClicked(lblCopyright);
    openLink(QStringLiteral("mailto:") + mailAddress());
}

void frmAbout::lblVersionUpdate_Click() {
    markClicked(lblVersionUpdate);
    frmUpdate update(this, mainWindow_);
    ui().showModal(update);
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const int button = mouseButtonCode(me->button());
        const int shift = shiftStateCode(me->modifiers());
        const int x = pxToTwips(qRound(me->position().x()));
        const int y = pxToTwips(qRound(me->position().y()));
        if (watched == lblProduct)
            lblProduct_MouseDown(button, shift, x, y);
        else if (watched == lblURL)
            lblURL_MouseDown(button, shift, x, y);
        else if (watched == lblCopyright)
            lblCopyright_MouseDown(button, shift, x, y);
    } else if (event->type() == QEvent::MouseButtonRelease && watched == lblVersionUpdate) {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton &&
            lblVersionUpdate->rect().contains(me->position().toPoint()))
            lblVersionUpdate_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void frmAbout::focusOutEvent(QFocusEvent* e) {
    QDialog::focusOutEvent(e);
    // Only the box itself losing the focus closes it; its controls come and go freely.
    Form_LostFocus();
}

} // namespace krvs
