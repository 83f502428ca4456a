#pragma once

#include <QWidget>

namespace chimewell::clockcore {

// The about box: the name and version, what Chimewell is, the maker's web
// site, what it is built on with their licences, and the characters. Shown
// not modal; closing it only hides it.
class frm_about final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_about(QWidget *parent = nullptr);

    // The version as the box shows it: major.minor.revision.
    static QString versionText();
};

} // namespace chimewell::clockcore
