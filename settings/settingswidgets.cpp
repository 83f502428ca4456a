#include "settings/settingswidgets.h"

#include "common/convert.h"
#include "common/settingskeys.h"
#include "common/settingsstore.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

namespace chimewell::setup::detail {

namespace {

void selectAll(QWidget *box)
{
    if (auto *line = qobject_cast<QLineEdit *>(box))
        line->selectAll();
    else if (auto *text = qobject_cast<QPlainTextEdit *>(box))
        text->selectAll();
}

class SelectAllOnFocus final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusIn) {
            auto *box = static_cast<QWidget *>(watched);
            selectAll(box);
            // A click places the cursor after the focus arrives: select again
            // once the click has been handled.
            if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason) {
                QPointer<QWidget> guard(box);
                QTimer::singleShot(0, box, [guard] {
                    if (guard)
                        selectAll(guard);
                });
            }
        }
        return false;
    }
};

} // namespace

void ClickableLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ClickableLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        Q_EMIT clicked();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void selectAllOnFocus(QWidget *box)
{
    // A multi-line box takes its events on its viewport; the focus comes to the box itself.
    box->installEventFilter(new SelectAllOnFocus(box));
}

QString simpleModeCaption()
{
    return QStringLiteral("YOU ARE IN SIMPLE MODE, CLICK HERE ----> CLICK <---- TO CHANGE");
}

QString advancedModeCaption()
{
    return QStringLiteral("YOU ARE IN ADVANCED MODE, CLICK HERE ----> CLICK <---- TO CHANGE");
}

QColor modeLabelRest(const QWidget *label)
{
    const QColor menuBar = convert::toColour(QStringLiteral("-2147483644")).value_or(QColor(Qt::lightGray));
    return menuBar.lightnessF() < 0.6 ? menuBar : label->palette().color(QPalette::Highlight);
}

QString programTitle()
{
    const QString title = QGuiApplication::applicationDisplayName();
    return title.isEmpty() ? QStringLiteral("Chimewell") : title;
}

QString readData(const char *key, const QString &defaultValue)
{
    return store::value(QLatin1String(keys::Data), QLatin1String(key), defaultValue);
}

void writeData(const char *key, const QString &value)
{
    store::setValue(QLatin1String(keys::Data), QLatin1String(key), value);
}

} // namespace chimewell::setup::detail
