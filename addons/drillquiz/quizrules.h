#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <functional>

// The rules of the times-tables quiz that need no window: the question order,
// how a table is drawn, how an answer is read, every text the character says,
// and where the window and the character stand.
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

// Where the character first walks to, when the window leaves it room there.
inline constexpr QPoint kCharacterPlace{50, 50};
// The font sizes tried, largest first, as parts of the design sizes.
inline constexpr std::array<double, 6> kFontScales{1.0, 0.9, 0.8, 0.7, 0.6, 0.5};

struct QuizLayout
{
    double fontScale = 1.0;
    QRect window;
    QPoint character; // the top left the character walks to
};

// Lays the quiz out in `area` (a monitor's available area): the window, as
// large as its fonts can be, as near the middle as can be, where neither the
// character (`character` large; empty when there is none) nor its balloon
// covers it. The character stands at its usual place when that leaves room,
// else in a corner of the area. `sizeAt` gives the window's size with its
// fonts at a scale. Where even the smallest fonts leave no such place, the
// window is kept inside the area at its smallest.
QuizLayout arrangeQuiz(const QRect &area, const QSize &character, const std::function<QSize(double)> &sizeAt);

} // namespace chimewell::drillquiz
