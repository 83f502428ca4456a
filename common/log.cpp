#include "common/log.h"

Q_LOGGING_CATEGORY(lcAgent, "chimewell.agent", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLaunch, "chimewell.launch", QtWarningMsg)
Q_LOGGING_CATEGORY(lcUi, "chimewell.ui", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSettings, "chimewell.settings", QtWarningMsg)
Q_LOGGING_CATEGORY(lcClock, "chimewell.clock", QtWarningMsg)
Q_LOGGING_CATEGORY(lcListen, "chimewell.listen", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDesktop, "chimewell.desktop", QtWarningMsg)
