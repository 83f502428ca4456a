#pragma once

#include <QString>

#include <array>

// The rules of the times-tables quiz that need no window: the question order,
// how a table is drawn, how an answer is read, and every text the character says.
namespace chimewell::drillquiz {

// The other factor of questions 1 to 12, the same for every table.
inline constexpr std::array<int, 12> kFactorOrder{5, 2, 8, 12, 1, 9, 3, 11, 4, 10, 6, 7};

// One try at a table: seconds of the minute × 50 × r (0 <= r < 1), rounded to
// nearest with halves to even. 1 to 12 is a table; anything else (always 0 in
// second 0 of a minute) means: try again.
int tableFromDraw(int seconds, double r);

// The typed answer as a whole number: blanks around it allowed, a fraction
// rounded (halves to even), and text that is no number or lies outside
// -32768..32767 counts as 0.
int answerValue(const QString &text);

QString greetingText();
QString choosingText();
QString tableChosenText(int table);
QString questionText(int table, int factor);
// `last`: the answer or time-out belongs to question 12.
QString rightText(bool last);
QString wrongText(int product, bool last);
QString timeoutText(bool last);
QString summaryText(int correct);
QString playAgainText();

} // namespace chimewell::drillquiz
