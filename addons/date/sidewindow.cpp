#include "addons/date/sidewindow.h"

#include "common/convert.h"
#include "common/dialogs.h"
#include "common/program.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>

namespace chimewell::addons {

namespace {

constexpr int kWidthTwips = 1680;
constexpr int kBorder = 1;  // the thin fixed border, in pixels
constexpr int kPadding = 3; // room either side of the text inside the label

QString readData(const char *key, const QString &fallback = QString())
{
    return store::value(QLatin1String(keys::Data), QLatin1String(key), fallback);
}

} // namespace

SideWindow::SideWindow(const QString &formName, const QString &labelName, Keys keys, QWidget *parent)
    : LabelWindow(formName, labelName, {keys.left, keys.top}, parent), m_keys(keys)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(9.75);
    label()->setFont(font);
    // The border is the window's own background around the label.
    setAutoFillBackground(true);
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(framePalette);
    buildMenu();
    layOut(toPixels(kWidthTwips));
}

SideWindow::~SideWindow() = default;

void SideWindow::buildMenu()
{
    static const struct
    {
        const char *name;
        const char *caption;
    } entries[] = {
        {"mnu_exit", "Close this window"},
        {"hyp1", "-"},
        {"mnu_colourfore", "Change text colour"},
        {"mnu_colourback", "Change background colour"},
        {"hyp2", "-"},
        {"mnu_noload", "Stop me loading with the clock"},
    };
    auto *menu = new QMenu(QStringLiteral("settings"), this);
    menu->setObjectName(QStringLiteral("mnu_settings"));
    for (const auto &e : entries) {
        const QString caption = QLatin1String(e.caption);
        QAction *action = caption == QLatin1String("-") ? menu->addSeparator() : menu->addAction(caption);
        action->setObjectName(QLatin1String(e.name));
        m_entries.insert(action->objectName(), action);
    }
    connect(menuEntry(QStringLiteral("mnu_exit")), &QAction::triggered, this, &SideWindow::mnu_exit_Click);
    connect(menuEntry(QStringLiteral("mnu_colourfore")), &QAction::triggered, this, &SideWindow::mnu_colourfore_Click);
    connect(menuEntry(QStringLiteral("mnu_colourback")), &QAction::triggered, this, &SideWindow::mnu_colourback_Click);
    connect(menuEntry(QStringLiteral("mnu_noload")), &QAction::triggered, this, &SideWindow::mnu_noload_Click);
    setPopupMenu(menu);
}

void SideWindow::restorePlaceAndColours()
{
    // A stored colour that is not a colour value keeps the desktop's window colours.
    const QPalette system = QGuiApplication::palette();
    setColours(convert::toColour(readData(m_keys.fore)).value_or(system.color(QPalette::WindowText)),
               convert::toColour(readData(m_keys.back)).value_or(system.color(QPalette::Base)));

    const double left = convert::toNumber(readData(m_keys.left, QStringLiteral("0"))).value_or(0);
    const double top = convert::toNumber(readData(m_keys.top, QStringLiteral("0"))).value_or(0);
    move(toPixels(left), toPixels(top));
    keepInView();
}

void SideWindow::setText(const QString &text)
{
    label()->setText(text);
    const int needed = label()->fontMetrics().horizontalAdvance(text) + 2 * (kBorder + kPadding);
    if (needed > width())
        layOut(needed);
}

void SideWindow::layOut(int width)
{
    const int height = label()->fontMetrics().height() + 2 * (kBorder + kPadding);
    label()->setGeometry(kBorder, kBorder, width - 2 * kBorder, height - 2 * kBorder);
    setFixedSize(width, height);
}

void SideWindow::mnu_exit_Click() { close(); }

void SideWindow::mnu_colourfore_Click() { chooseColour(QPalette::WindowText, m_keys.fore); }

void SideWindow::mnu_colourback_Click() { chooseColour(QPalette::Window, m_keys.back); }

void SideWindow::chooseColour(QPalette::ColorRole role, const char *key)
{
    const QColor colour = dialogs::chooseColour(this, label()->palette().color(role));
    // Cancel leaves the window and the store as they were.
    if (!colour.isValid())
        return;
    QPalette pal = label()->palette();
    pal.setColor(role, colour);
    setColours(pal.color(QPalette::WindowText), pal.color(QPalette::Window));
    store::setValue(QLatin1String(keys::Data), QLatin1String(key), convert::fromColour(colour));
}

void SideWindow::mnu_noload_Click()
{
    store::setValue(QLatin1String(keys::Data), QLatin1String(m_keys.start), QStringLiteral("0"));
    QApplication::beep();
}

void SideWindow::closeEvent(QCloseEvent *event)
{
    // Nothing to save: a drag stores the place as it goes.
    flushPlace();
    event->accept();
    endProgram();
}

} // namespace chimewell::addons
