#pragma once

#include <QRect>
#include <QTimer>
#include <QWidget>

namespace chimewell::agent {

// The speech balloon: a cartoon balloon beside the character that shows the spoken
// text word by word, with a tail pointing at the character.
class Balloon final : public QWidget
{
    Q_OBJECT
public:
    explicit Balloon(const QString &characterId);

    // Starts a new speech: sizes the balloon for `text` and shows it, still empty.
    void begin(const QString &text, const QRect &character);
    // Shows the text up to (not including) `end`.
    void reveal(int end);
    // The speech is over: the balloon goes after `ms`.
    void finishSoon(int ms);
    void hideNow();
    // The character has moved: keep beside it.
    void follow(const QRect &character);
    // Moves into `host` (nullptr: the desktop) with the character; stays shown
    // if it was, to be placed by the next follow().
    void setHost(QWidget *host);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void layout(const QRect &character);
    QFont balloonFont() const;

    QString m_text;
    int m_revealed = 0;
    QRect m_textRect;   // in window coordinates
    QRect m_body;       // the rounded box, in window coordinates
    QPoint m_tailTip;   // in window coordinates
    bool m_tailDown = true;
    QTimer m_hideTimer;
};

} // namespace chimewell::agent
