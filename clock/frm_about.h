#pragma once

#include <QDialog>

class QPushButton;

namespace chimewell::clockcore {

// The about box: the name and version, what Chimewell is, the maker's web
// site, what it is built on with their licences, and the characters. Shown
// not modal; closing it (OK, Esc, its close button) only hides it. Each time
// it opens the keyboard starts on OK, so Enter closes it rather than opening
// the web site.
class frm_about final : public QDialog
{
    Q_OBJECT
public:
    explicit frm_about(QWidget *parent = nullptr);

    // The version as the box shows it: major.minor.revision.
    static QString versionText();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *m_ok = nullptr;
};

} // namespace chimewell::clockcore
