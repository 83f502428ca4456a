#include "clock/weblink.h"

#include "common/dialogs.h"
#include "common/platform.h"

namespace chimewell::clockcore {

bool weblink(const QString &webaddress, QWidget *parent)
{
    switch (platform::openWebAddress(webaddress)) {
    case platform::OpenResult::Opened:
        return true;
    case platform::OpenResult::NoHandler:
        dialogs::message(parent, QStringLiteral("BROWSER NOT FOUND"), QStringLiteral("Could not find associated browser!"),
                         QMessageBox::Ok, QMessageBox::Warning);
        return false;
    case platform::OpenResult::StartFailed:
        dialogs::message(parent, QStringLiteral("URL FAILED"), QStringLiteral("Web Page not Opened"), QMessageBox::Ok,
                         QMessageBox::Warning);
        return false;
    }
    return false;
}

} // namespace chimewell::clockcore
