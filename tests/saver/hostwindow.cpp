// A plain black window that prints its X window id, for the end-to-end test
// to hand to the screen saver as a daemon would. Runs until it is killed.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("saver host"));
    QPalette black = window.palette();
    black.setColor(QPalette::Window, Qt::black);
    window.setPalette(black);
    window.setAutoFillBackground(true);
    window.setGeometry(60, 60, 640, 480);
    window.show();
    QTimer::singleShot(300, &window, [&window] {
        std::printf("0x%llx\n", static_cast<unsigned long long>(window.winId()));
        std::fflush(stdout);
    });
    return app.exec();
}
