// The comic show.
#include "addons/jollix/frm_fun.h"
#include "common/program.h"

#include <QTimer>

int main(int argc, char *argv[])
{
    chimewell::GuiProgram program(argc, argv);
    if (!program.claimInstance(QStringLiteral("jollix")))
        return 0;
    chimewell::jollix::frm_fun form;
    QTimer::singleShot(0, &form, &chimewell::jollix::frm_fun::Form_Load);
    return program.exec();
}
