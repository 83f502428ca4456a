// Today's date beside the clock.
#include "addons/date/frm_date.h"
#include "common/program.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    chimewell::GuiProgram program(argc, argv);
    if (!program.claimInstance(QStringLiteral("date")))
        return 0;
    chimewell::addons::frm_date form;
    QTimer::singleShot(0, &form, &chimewell::addons::frm_date::Form_Load);
    return program.exec();
}
