#include "common/dialogs.h"

#include "common/log.h"

#include <QApplication>
#include <QColorDialog>
#include <QEvent>
#include <QFileDialog>
#include <QWidget>

#include <optional>

namespace chimewell::dialogs {

namespace {

std::optional<QMessageBox::StandardButton> g_nextAnswer;
std::optional<QString> g_nextFile;
std::optional<QColor> g_nextColour;
QStringList g_shown;

class ShowLogger final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (w->isWindow() && !w->objectName().isEmpty() && !qobject_cast<QMessageBox *>(w))
                qCInfo(lcUi).noquote() << "show" << w->objectName();
        }
        return false;
    }
};

} // namespace

QMessageBox::StandardButton message(QWidget *parent, const QString &title, const QString &text,
                                    QMessageBox::StandardButtons buttons, QMessageBox::Icon icon)
{
    qCInfo(lcUi).noquote() << QStringLiteral("message \"%1\" %2").arg(title, text);
    g_shown << title + QLatin1Char('\n') + text;
    if (g_nextAnswer) {
        const auto answer = *g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return QMessageBox::NoButton;
    QMessageBox box(icon, title, text, buttons, parent);
    box.setObjectName(QStringLiteral("message_box"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

bool ask(QWidget *parent, const QString &title, const QString &text)
{
    return message(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question) == QMessageBox::Yes;
}

QString openFile(QWidget *parent, const QString &caption, const QString &folder, const QString &filter)
{
    if (g_nextFile) {
        const QString f = *g_nextFile;
        g_nextFile.reset();
        return f;
    }
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QColor chooseColour(QWidget *parent, const QColor &initial)
{
    if (g_nextColour) {
        const QColor c = *g_nextColour;
        g_nextColour.reset();
        return c;
    }
    return QColorDialog::getColor(initial, parent);
}

void setNextAnswer(QMessageBox::StandardButton answer) { g_nextAnswer = answer; }
void setNextFile(const QString &path) { g_nextFile = path; }
void setNextColour(const QColor &colour) { g_nextColour = colour; }

QStringList takeShownMessages()
{
    QStringList s;
    s.swap(g_shown);
    return s;
}

void installShowLog()
{
    if (auto *app = QCoreApplication::instance())
        app->installEventFilter(new ShowLogger(app));
}

} // namespace chimewell::dialogs
