#include "clock/frm_about.h"

#include "clock/weblink.h"

#include "common/version.h"
#include "tray/trayicon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace chimewell::clockcore {

namespace {

QLabel *wrapped(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}

} // namespace

QString frm_about::versionText()
{
    return QStringLiteral("%1.%2.%3").arg(CHIMEWELL_VERSION_MAJOR).arg(CHIMEWELL_VERSION_MINOR).arg(CHIMEWELL_VERSION_PATCH);
}

frm_about::frm_about(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_about"));
    setWindowTitle(QStringLiteral("About Chimewell"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setModal(false);

    auto *face = new QLabel(this);
    face->setObjectName(QStringLiteral("img_face"));
    const qreal dpr = devicePixelRatioF();
    QPixmap pm(QSize(64, 64) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        tray::paintTrayFace(p, QRectF(0, 0, 64, 64));
    }
    face->setPixmap(pm);
    face->setAccessibleName(QStringLiteral("Chimewell"));

    auto *name = new QLabel(QStringLiteral("Chimewell"), this);
    name->setObjectName(QStringLiteral("lab_name"));
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    name->setFont(big);
    auto *version = new QLabel(QStringLiteral("Version ") + versionText(), this);
    version->setObjectName(QStringLiteral("lab_version"));

    auto *heading = new QVBoxLayout;
    heading->addWidget(name);
    heading->addWidget(version);
    heading->addStretch();
    face->setFixedSize(64, 64);
    auto *top = new QHBoxLayout;
    top->addWidget(face, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(heading, 1);

    const QString site = QStringLiteral(CHIMEWELL_WEB_SITE);
    auto *link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(site.toHtmlEscaped()), this);
    link->setObjectName(QStringLiteral("lab_link"));
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setOpenExternalLinks(false);
    link->setToolTip(QStringLiteral("The Chimewell web site, with the add-ons"));
    // Through our own browser lookup, which says so when there is no browser.
    connect(link, &QLabel::linkActivated, this, [this](const QString &address) { weblink(address, this); });

    auto *what = wrapped(QStringLiteral("A talking desktop clock. Two animated characters stand beside the clock, "
                                        "say the time aloud in turn, ring your alarms and answer your commands."),
                         this);
    auto *characters = wrapped(QStringLiteral("The characters Max, Plany, Genie, Peedy, Robby, Merlin and Check "
                                              "were drawn for Chimewell."),
                               this);
    characters->setObjectName(QStringLiteral("lab_characters"));
    auto *builtOn = wrapped(QStringLiteral("Built on:<br>"
                                           "&nbsp;&nbsp;Qt %1 &mdash; GNU LGPL version 3<br>"
                                           "&nbsp;&nbsp;espeak-ng &mdash; GNU GPL version 3 or later<br>"
                                           "&nbsp;&nbsp;libzip &mdash; BSD 3-clause licence<br>"
                                           "&nbsp;&nbsp;pocketsphinx &mdash; BSD-style licence")
                                .arg(QString::fromLatin1(qVersion())),
                            this);
    builtOn->setObjectName(QStringLiteral("lab_licences"));
    builtOn->setTextFormat(Qt::RichText);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("com_ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    m_ok = ok;
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(what);
    layout->addWidget(link);
    layout->addWidget(characters);
    layout->addWidget(builtOn);
    layout->addLayout(buttons);
    // Wrapped text decides the height for the width given.
    for (QLabel *l : {what, characters, builtOn})
        l->setFixedWidth(360);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frm_about::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ok->setFocus(Qt::OtherFocusReason);
}

} // namespace chimewell::clockcore
