// The times-tables quiz.
#include "addons/drillquiz/frm_xtables.h"
#include "common/program.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    chimewell::GuiProgram program(argc, argv);
    if (!program.claimInstance(QStringLiteral("drillquiz")))
        return 0;
    chimewell::drillquiz::frm_xtables form;
    // From inside the event loop, so EXIT works at every moment of start-up.
    QTimer::singleShot(0, &form, &chimewell::drillquiz::frm_xtables::Form_Load);
    return program.exec();
}
