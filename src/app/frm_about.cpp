#include "frm_about.h"

#include "app/artwork.h"
#include "app/twips.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

const QColor background(0xF0, 0xF0, 0xFF);

void setBackground(QWidget *widget, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Button, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

frmAbout::frmAbout(const AboutDetails &details, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Tessaly %1").arg(QStringLiteral(TESSALY_VERSION)));
    setModal(true);
    setBackground(this, background);
    setFixedSize(twipsToPixels(this, 6150), twipsToPixels(this, 4710));

    auto *frame = new QGroupBox(QStringLiteral("Tessaly %1").arg(QStringLiteral(TESSALY_VERSION)), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setGeometry(twipsToPixels(this, QRect(60, 60, 5925, 3735)));
    setBackground(frame, background);

    auto *banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Picture1"));
    banner->setGeometry(twipsToPixels(this, QRect(150, 300, 5760, 1200)));
    // The banner is drawn for the place it has, so nothing of it is cut.
    const int bannerWidth = qMin(434, banner->width());
    banner->setPixmap(bannerPixmap(QSize(bannerWidth, qRound(67.0 * bannerWidth / 434))));
    banner->setAlignment(Qt::AlignCenter);

    auto *maker = new QLabel(QStringLiteral("The Tessaly team, 2026"), frame);
    maker->setObjectName(QStringLiteral("label"));
    // Wider than its design place, so that the bold line fits at any font size.
    maker->setGeometry(twipsToPixels(this, QRect(180, 3240, 5925 - 360, 360)));
    maker->setAlignment(Qt::AlignCenter);
    QFont font = maker->font();
    font.setPointSizeF(9.75);
    font.setBold(true);
    maker->setFont(font);
    QPalette makerPalette = maker->palette();
    makerPalette.setColor(QPalette::WindowText, QColor(0x40, 0x40, 0xE0));
    maker->setPalette(makerPalette);

    // Between the banner and the maker line; a long path is cut in its middle, and
    // the tooltip and a copy of the text give it whole.
    lblDetails = new QLabel(this);
    lblDetails->setObjectName(QStringLiteral("lblDetails"));
    lblDetails->setGeometry(twipsToPixels(this, QRect(180, 1560, 5790, 1620)));
    lblDetails->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const QStringList lines = detailLines(details);
    QStringList shown;
    for (const QString &line : lines)
        shown.append(lblDetails->fontMetrics().elidedText(line, Qt::ElideMiddle, lblDetails->width()));
    lblDetails->setText(shown.join(u'\n'));
    lblDetails->setToolTip(lines.join(u'\n'));

    cmdAceptar = new QPushButton(QStringLiteral("&OK"), this);
    cmdAceptar->setObjectName(QStringLiteral("cmdAceptar"));
    cmdAceptar->setGeometry(twipsToPixels(this, QRect(2640, 3960, 855, 645)));
    cmdAceptar->setIcon(QIcon(tickPixmap(32)));
    cmdAceptar->setIconSize(QSize(twipsToPixels(this, 300), twipsToPixels(this, 300)));
    cmdAceptar->setStyleSheet(QStringLiteral("QPushButton { background-color: #80FF80; }"));
    cmdAceptar->setDefault(true);
    cmdAceptar->setFocus();
    connect(cmdAceptar, &QPushButton::clicked, this, &frmAbout::cmdAceptar_Click);
}

QStringList frmAbout::detailLines(const AboutDetails &details)
{
    QStringList lines{QStringLiteral("Version %1, built with Qt %2, running on Qt %3")
                              .arg(QStringLiteral(TESSALY_VERSION), QStringLiteral(QT_VERSION_STR),
                                   QString::fromLatin1(qVersion()))};
    lines.append(details.keyListFile.isEmpty()
                         ? QStringLiteral("Key list: none found")
                         : QStringLiteral("Key list (%1 entries): %2").arg(details.keyCount).arg(details.keyListFile));
    lines.append(details.recoveryFolder.isEmpty() ? QStringLiteral("Recovery copies: not kept")
                                                  : QStringLiteral("Recovery copies: %1").arg(details.recoveryFolder));
    return lines;
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Escape closes the window whatever the shift state.
    if (event->key() == Qt::Key_Escape)
        reject();
    else
        QDialog::keyPressEvent(event);
}

void frmAbout::cmdAceptar_Click()
{
    accept();
}
