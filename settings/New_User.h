#pragma once

#include <QWidget>
#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace chimewell::setup {

// What the first run checks before it shows the agreement: can the speech
// engine start, and are the standard characters where the service finds them.
struct Components
{
    std::function<bool()> speechEngine;
    std::function<bool()> standardCharacters;
};

// The start-up form: tells a first run from a normal start. On a first run it
// shows itself as the agreement form (or hands over to frm_wait).
class New_User final : public QWidget
{
    Q_OBJECT
public:
    // `showClock` shows the clock window; `checkboxes` loads the characters.
    New_User(std::function<void()> showClock, std::function<void()> checkboxes, Components components,
             QWidget *parent = nullptr);

    void Form_Load();
    // "I AGREE" and "I DON`T AGREE".
    void Command3_Click();
    void Command1_Click();

    // Whether the stored names make this a normal start.
    static bool isReturningUser();

private:
    std::function<void()> m_showClock;
    std::function<void()> m_checkboxes;
    Components m_components;
    QPlainTextEdit *m_text1 = nullptr;
    QPushButton *m_command3 = nullptr;
    QPushButton *m_command1 = nullptr;
};

// Copies the shipped desktop entry into the autostart folder; false when it could not.
bool installAutostartEntry();
bool removeAutostartEntry();

} // namespace chimewell::setup
