// The head-grid list of the reports: TfrmBaseACx with two title lines in the head grid.
#pragma once

#include "browse/UBaseACx.h"

class TfrmBaseACxA : public TfrmBaseACx {
    Q_OBJECT
public:
    explicit TfrmBaseACxA(QWidget* parent = nullptr);
    ~TfrmBaseACxA() override;

    void FormShow(QObject* sender) override;
    void LoadData() override;
};
