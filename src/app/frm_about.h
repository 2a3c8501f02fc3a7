#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// What the About window tells beyond the program's name: the places the program
// works with.
struct AboutDetails
{
    QString keyListFile;    // the key list read at start-up; empty when none was found
    int keyCount = 0;       // entries of the list
    QString recoveryFolder; // where recovery copies are kept; empty when none are
};

// The About window: the program's name and version, a banner and a maker line.
// Below the banner it names the version, the Qt version, the key list and the
// recovery folder. It closes on OK, Alt+O, Escape or its close box.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr) : frmAbout(AboutDetails(), parent) {}
    explicit frmAbout(const AboutDetails &details, QWidget *parent = nullptr);

    QPushButton *okButton() const { return cmdAceptar; }
    // The lines of the details, with the places in full.
    static QStringList detailLines(const AboutDetails &details);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void cmdAceptar_Click();

private:
    QPushButton *cmdAceptar = nullptr;
    QLabel *lblDetails = nullptr;
};
