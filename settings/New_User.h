#pragma once

#include <QWidget>

class QPlainTextEdit;
class QPushButton;

namespace chimewell::setup {

// What the start-up form needs of the clock window it starts.
class ClockStart
{
public:
    virtual ~ClockStart() = default;
    // Prepares the clock window from the store and shows it.
    virtual void showClock() = 0;
    // Loads both characters and brings them on.
    virtual void checkboxes() = 0;
};

// The start-up form: tells a first run from a normal start. On a first run it
// shows itself as the agreement form (or hands over to frm_wait).
class New_User final : public QWidget
{
    Q_OBJECT
public:
    explicit New_User(ClockStart &clock, QWidget *parent = nullptr);

    void Form_Load();
    // "I AGREE" and "I DON`T AGREE".
    void Command3_Click();
    void Command1_Click();

    // Whether the stored names make this a normal start.
    static bool isReturningUser();

private:
    ClockStart &m_clock;
    QPlainTextEdit *m_text1 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command1 = nullptr;
};

} // namespace chimewell::setup
