// The countdown to the coming New Year's Day beside the clock.
#include "addons/millenium/frm_millenium.h"
#include "common/program.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    chimewell::GuiProgram program(argc, argv);
    if (!program.claimInstance(QStringLiteral("millenium")))
        return 0;
    chimewell::addons::frm_millenium form;
    QTimer::singleShot(0, &form, &chimewell::addons::frm_millenium::Form_Load);
    return program.exec();
}
