// The chart format dialog: chart kind, titles, the X and Y fields (shown only), the legend
// position and the other display flags.
#pragma once

#include <QDialog>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace Ui {
class TfrmGraphSetFmt;
}

class TfrmGraphSetFmt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmGraphSetFmt(QWidget* parent = nullptr);
    ~TfrmGraphSetFmt() override;

    QComboBox* cboPic;
    QLineEdit* edtTitle;
    QLineEdit* edtXCaption;
    QLineEdit* edtYCaption;
    QLineEdit* edtXField;
    QLineEdit* edtYField;
    QCheckBox* chkTV;
    QCheckBox* chkCV;
    QCheckBox* chkXV;
    QCheckBox* chkYV;
    QCheckBox* chk3d;
    QPushButton* btnOK;
    QPushButton* btnClose;

    // The radio group "图解说明位置": 0 left, 1 right, 2 top, 3 bottom.
    int LgPosition() const;
    void setLgPosition(int index);

protected:
    // Enter moves to the next control (the buttons still answer to it).
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::unique_ptr<Ui::TfrmGraphSetFmt> ui;
    QButtonGroup* m_lgPosition;
};
