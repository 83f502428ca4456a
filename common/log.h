#pragma once

#include <QLoggingCategory>

// The log lines other programs and the end-to-end tests read. Off by default;
// switched on with QT_LOGGING_RULES, e.g. "chimewell.*=true".
Q_DECLARE_LOGGING_CATEGORY(lcAgent)    // chimewell.agent: "<id> <Operation>[ <argument>]"
Q_DECLARE_LOGGING_CATEGORY(lcLaunch)   // chimewell.launch: "start <program> [<arg> ...] ok|failed"
Q_DECLARE_LOGGING_CATEGORY(lcUi)       // chimewell.ui: "message \"<title>\" <text>", "show <object name>"
Q_DECLARE_LOGGING_CATEGORY(lcSettings) // chimewell.settings: "write <section>/<key>=<value>"
Q_DECLARE_LOGGING_CATEGORY(lcClock)    // chimewell.clock: tick decisions (saytime, alarmclock)
Q_DECLARE_LOGGING_CATEGORY(lcListen)   // chimewell.listen: "heard \"<words>\" as <id> <command>", "not understood \"<words>\""
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)  // chimewell.desktop: what the window manager does, what we do then
