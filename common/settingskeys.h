#pragma once

// Every section and key of the store, declared once. Readers give their own
// defaults at the call, next to the rule that needs them.
namespace chimewell::keys {

inline constexpr char Data[] = "Data";
inline constexpr char data[] = "data"; // the same section, as the time format and the quiz name it
inline constexpr char xtables[] = "xtables";

inline constexpr char FormX[] = "FormX";
inline constexpr char FormY[] = "FormY";
inline constexpr char ForeColour[] = "ForeColour";
inline constexpr char BackColour[] = "BackColour";
inline constexpr char format[] = "format";
inline constexpr char minimise[] = "minimise";
inline constexpr char mode[] = "mode";
inline constexpr char Announce[] = "Announce";
inline constexpr char QuietTime[] = "QuietTime";
inline constexpr char AlarmTime1[] = "AlarmTime1";
inline constexpr char AlarmTime2[] = "AlarmTime2";
inline constexpr char Repeat1[] = "Repeat1";
inline constexpr char Repeat2[] = "Repeat2";
inline constexpr char Launch1[] = "Launch1";
inline constexpr char Launch2[] = "Launch2";
inline constexpr char AlarmMessage[] = "AlarmMessage";
inline constexpr char AlarmMessage2[] = "AlarmMessage2";
inline constexpr char LastCharacter[] = "LastCharacter";
inline constexpr char LastCharacter2[] = "LastCharacter2";
inline constexpr char effects1[] = "effects1";
inline constexpr char effects2[] = "effects2";
inline constexpr char charhide[] = "charhide";
inline constexpr char charhide2[] = "charhide2";
inline constexpr char UserName[] = "UserName";
inline constexpr char StartupMessage[] = "StartupMessage";
inline constexpr char LoadWithWindows[] = "LoadWithWindows";
inline constexpr char DateStart[] = "DateStart";
inline constexpr char MilleniumStart[] = "MilleniumStart";
inline constexpr char SayTimeKey[] = "SayTimeKey"; // Qt's portable key text; empty: none
inline constexpr char DateFore[] = "DateFore";
inline constexpr char DateBack[] = "DateBack";
inline constexpr char DateLeft[] = "DateLeft";
inline constexpr char DateTop[] = "DateTop";
inline constexpr char MilleniumFore[] = "MilleniumFore";
inline constexpr char MilleniumBack[] = "MilleniumBack";
inline constexpr char MilleniumLeft[] = "MilleniumLeft";
inline constexpr char MilleniumTop[] = "MilleniumTop";

} // namespace chimewell::keys
