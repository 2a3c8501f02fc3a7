#pragma once

#include <QDialog>

class QPushButton;

// The About window: the program's name and version, a banner and a maker line.
// It closes on OK, Alt+O, Escape or its close box.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget *parent = nullptr);

    QPushButton *okButton() const { return cmdAceptar; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void cmdAceptar_Click();

private:
    QPushButton *cmdAceptar = nullptr;
};
