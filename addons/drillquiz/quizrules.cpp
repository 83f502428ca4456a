#include "addons/drillquiz/quizrules.h"

#include "common/convert.h"
#include "common/screenarea.h"

#include <cmath>

namespace chimewell::drillquiz {

int tableFromDraw(int seconds, double r)
{
    const double value = std::nearbyint(double(seconds) * 50.0 * r); // halves to even
    return value >= 1 && value <= 12 ? int(value) : 0;
}

int answerValue(const QString &text)
{
    const std::optional<double> number = convert::toNumber(text);
    if (!number)
        return 0;
    const double value = std::nearbyint(*number);
    return value >= -32768 && value <= 32767 ? int(value) : 0;
}

QString greetingText()
{
    return QStringLiteral("Hello there, are you ready to learn your times tables?");
}
QString choosingText()
{
    return QStringLiteral("Okay, I will choose which table to learn today");
}

QString tableChosenText(int table)
{
    return QStringLiteral("Right then, I have chosen to do the, ") + QString::number(table) +
           QStringLiteral(" times table !");
}

QString questionText(int table, int factor)
{
    return QStringLiteral("What is ") + QString::number(table) + QStringLiteral(", times ") + QString::number(factor) +
           QStringLiteral(" ?");
}

QString rightText(bool last)
{
    return last ? QStringLiteral("Well Done!, that was the last question") : QStringLiteral("Well Done!, try another");
}

QString wrongText(int product, bool last)
{
    if (last)
        return QStringLiteral("Wrong, That was the last question, the answer was ") + QString::number(product);
    return QStringLiteral("Wrong, the answer was ") + QString::number(product) + QStringLiteral(", try again.");
}

QString timeoutText(bool last)
{
    return last ? QStringLiteral("\\emp\\You ran out of time!, that was the last question!")
                : QStringLiteral("\\emp\\You ran out of time!, try another!");
}

QString summaryText(int correct)
{
    const QString n = QString::number(correct);
    if (correct >= 10)
        return QStringLiteral("Well done, you are very clever. You got ") + n +
               QStringLiteral(", correct out of 12 questions");
    if (correct >= 6)
        return QStringLiteral("You did okay, lets see if you can do better next time!, you got ") + n +
               QStringLiteral(" right answers out of 12 questions");
    return QStringLiteral("Hey, its not so bad, you were just having a bad time!, why dont you try again");
}

QString playAgainText()
{
    return QStringLiteral("Do you want to play again?");
}

QuizLayout arrangeQuiz(const QRect &area, const QSize &character, const std::function<QSize(double)> &sizeAt)
{
    const QSize c = character.isValid() ? character : QSize(0, 0);
    const QList<QPoint> spots{kCharacterPlace, area.topLeft(), QPoint(area.right() + 1 - c.width(), area.top()),
                              QPoint(area.left(), area.bottom() + 1 - c.height()),
                              QPoint(area.right() + 1 - c.width(), area.bottom() + 1 - c.height())};
    for (double scale : kFontScales) {
        const QSize size = sizeAt(scale);
        const QPoint middle = area.center() - QPoint(size.width() / 2, size.height() / 2);
        for (const QPoint &spot : spots) {
            const QRect stands = screenarea::keptInside(QRect(spot, c), area);
            const QList<QRect> taken{c.isEmpty() ? QRect() : screenarea::speakingRoom(stands, area)};
            if (const std::optional<QRect> place = screenarea::clearPlace(size, middle, area, taken))
                return {scale, *place, stands.topLeft()};
        }
    }
    const double smallest = kFontScales.back();
    const QSize size = sizeAt(smallest);
    const QRect middle(area.center() - QPoint(size.width() / 2, size.height() / 2), size);
    return {smallest, screenarea::keptInside(middle, area),
            screenarea::keptInside(QRect(kCharacterPlace, c), area).topLeft()};
}

} // namespace chimewell::drillquiz
